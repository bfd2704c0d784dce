#include "png_writer.h"

#include <csetjmp>
#include <png.h>
#include <zlib.h>

namespace qarn::render {

// libpng reports its own errors by a long jump back to the call that was
// running. Each call below is made from a function with nothing to destroy,
// so that the jump skips no destructor.
struct PngWriter::Library {
    png_structp png = nullptr;
    png_infop info = nullptr;
    OutputFile* file = nullptr;
    std::string writeFailure;  // set by the output callback
};

namespace {

using Library = PngWriter::Library;

void WriteBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* library = static_cast<Library*>(png_get_io_ptr(png));
    if (!library->writeFailure.empty()) return;
    library->writeFailure = library->file->Write({data, size});
}

void Flush(png_structp) {}

bool Start(Library* library, int width, int height) {
    if (setjmp(png_jmpbuf(library->png))) return false;
    png_set_write_fn(library->png, library, WriteBytes, Flush);
    png_set_IHDR(library->png, library->info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Fast compression, so that a print is written as fast as it computes:
    // the difference from the pixel to the left, then runs of equal bytes
    // (the set's pictures have wide bands of one colour).
    png_set_filter(library->png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(library->png, 1);
    png_set_compression_strategy(library->png, Z_RLE);
    png_write_info(library->png, library->info);
    return true;
}

bool Row(Library* library, const std::uint8_t* rgb) {
    if (setjmp(png_jmpbuf(library->png))) return false;
    png_write_row(library->png, rgb);
    return true;
}

bool End(Library* library) {
    if (setjmp(png_jmpbuf(library->png))) return false;
    png_write_end(library->png, library->info);
    return true;
}

}  // namespace

PngWriter::PngWriter(OutputFile& file, int width, int height) : file_(file) {
    png_ = std::make_unique<Library>();
    png_->file = &file_;
    png_->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png_->png != nullptr) png_->info = png_create_info_struct(png_->png);
    if (png_->info == nullptr || !Start(png_.get(), width, height)) Failed();
}

PngWriter::~PngWriter() {
    if (png_->png != nullptr) png_destroy_write_struct(&png_->png, png_->info != nullptr ? &png_->info : nullptr);
}

std::string PngWriter::Failed() {
    if (failure_.empty())
        failure_ = !png_->writeFailure.empty() ? png_->writeFailure : file_.Path() + ": the PNG could not be encoded";
    return failure_;
}

std::string PngWriter::WriteRow(std::span<const std::uint8_t> rgb) {
    if (!failure_.empty()) return failure_;
    if (!Row(png_.get(), rgb.data()) || !png_->writeFailure.empty()) return Failed();
    return {};
}

std::string PngWriter::Finish() {
    if (!failure_.empty()) return failure_;
    if (!End(png_.get()) || !png_->writeFailure.empty()) return Failed();
    return {};
}

}  // namespace qarn::render
