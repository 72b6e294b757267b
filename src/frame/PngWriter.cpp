#include "frame/PngWriter.h"

#include <png.h>
#include <zlib.h>

#include <array>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

namespace zelk {

namespace {

constexpr std::uint32_t kRgbMask = 0x00FFFFFFu;

// The colours of a picture, up to 256 of them, each with its palette index.
// Open addressing over 512 slots; plots hold a dozen colours, so a probe
// almost always hits at once.
class Palette {
  public:
    static constexpr int kMaxColours = 256;

    Palette() { slots_.fill(kEmpty); }

    // The index of colour c, added when new; -1 when the palette is full.
    int IndexOf(std::uint32_t c) {
        std::size_t slot = Hash(c);
        while (true) {
            const std::uint32_t entry = slots_[slot];
            if (entry == kEmpty) {
                if (count_ == kMaxColours) {
                    return -1;
                }
                slots_[slot] = c;
                indices_[slot] = static_cast<std::uint8_t>(count_);
                colours_[static_cast<std::size_t>(count_)] = c;
                return count_++;
            }
            if (entry == c) {
                return indices_[slot];
            }
            slot = (slot + 1) % kSlots;
        }
    }

    int count() const { return count_; }
    std::uint32_t colour(int i) const { return colours_[static_cast<std::size_t>(i)]; }

  private:
    static constexpr std::size_t kSlots = 512;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;  // never an RGB value
    static std::size_t Hash(std::uint32_t c) { return ((c * 0x9E3779B1u) >> 23) % kSlots; }

    std::array<std::uint32_t, kSlots> slots_{};
    std::array<std::uint8_t, kSlots> indices_{};
    std::array<std::uint32_t, kMaxColours> colours_{};
    int count_ = 0;
};

// A plot is mostly long runs of one colour: the pixels are taken run by
// run, compared as they are (a pixel equal to the last one has its colour),
// and only a new value is looked up.

// Collects the picture's colours; false when there are more than 256.
bool CollectPalette(const std::uint32_t* pixels, int stride, int width, int height,
                    Palette& palette) {
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width;) {
            const std::uint32_t raw = row[x];
            if (palette.IndexOf(raw & kRgbMask) < 0) {
                return false;
            }
            while (++x < width && row[x] == raw) {
            }
        }
    }
    return true;
}

// Writes the rows of the PNG image, row after row without gaps: palette
// indices, or else RGB triples. out may be the pixels' own memory when the
// rows lie without gaps too: the bytes of a run are written after its pixels
// were read, and never beyond them.
void WriteRows(const std::uint32_t* pixels, int stride, int width, int height, Palette* palette,
               std::uint8_t* out) {
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        if (palette == nullptr) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c = row[x];
                *out++ = static_cast<std::uint8_t>(c >> 16);
                *out++ = static_cast<std::uint8_t>(c >> 8);
                *out++ = static_cast<std::uint8_t>(c);
            }
            continue;
        }
        for (int x = 0; x < width;) {
            const std::uint32_t raw = row[x];
            const auto index = static_cast<std::uint8_t>(palette->IndexOf(raw & kRgbMask));
            int end = x + 1;
            while (end < width && row[end] == raw) {
                ++end;
            }
            std::memset(out, index, static_cast<std::size_t>(end - x));
            out += end - x;
            x = end;
        }
    }
}

struct Sink {
    std::vector<unsigned char>* out;
};

void WriteBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
    bool stored = true;
    try {
        sink->out->insert(sink->out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        stored = false;  // no exception may pass through libpng
    }
    if (!stored) {
        png_error(png, "out of memory");
    }
}

void Flush(png_structp) {}

// libpng reports errors by longjmp; the message is kept for the caller.
struct ErrorText {
    char text[200];
};

void OnError(png_structp png, png_const_charp message) {
    auto* error = static_cast<ErrorText*>(png_get_error_ptr(png));
    std::snprintf(error->text, sizeof error->text, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// The libpng part. Only plain data lives in this frame, so that the longjmp
// of an error skips no destructor. rows[y] is row y, already in the format
// the colour type says.
bool Encode(const png_bytep* rows, int width, int height, bool palette, const png_color* colours,
            int colourCount, Sink* sink, ErrorText* error) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, OnError, OnWarning);
    if (png == nullptr) {
        std::snprintf(error->text, sizeof error->text, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, sink, WriteBytes, Flush);
    // Plots are flat colour: the fastest zlib level already finds the long
    // runs, and filters gain nothing on palette indices.
    png_set_compression_level(png, Z_BEST_SPEED);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, palette ? PNG_FILTER_NONE : PNG_FILTER_SUB);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (palette) {
        png_set_PLTE(png, info, colours, colourCount);
    }
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rows[y]);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

namespace {

// scratch: where the rows go; null for a buffer of their own.
bool EncodeRows(const std::uint32_t* pixels, int stride, int width, int height,
                std::uint8_t* scratch, std::vector<unsigned char>& out, std::string& error) {
    if (width < 1 || height < 1 || stride < width) {
        error = "a picture needs at least one pixel";
        return false;
    }
    Palette palette;
    const bool indexed = CollectPalette(pixels, stride, width, height, palette);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (indexed ? 1 : 3);
    std::vector<std::uint8_t> buffer;
    if (scratch == nullptr) {
        buffer.resize(rowBytes * static_cast<std::size_t>(height));
        scratch = buffer.data();
    }
    WriteRows(pixels, stride, width, height, indexed ? &palette : nullptr, scratch);
    std::array<png_color, Palette::kMaxColours> colours{};
    for (int i = 0; indexed && i < palette.count(); ++i) {
        const std::uint32_t c = palette.colour(i);
        colours[static_cast<std::size_t>(i)] = {static_cast<png_byte>(c >> 16),
                                                static_cast<png_byte>(c >> 8),
                                                static_cast<png_byte>(c)};
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = scratch + y * rowBytes;
    }
    Sink sink{&out};
    ErrorText text{};
    if (!Encode(rows.data(), width, height, indexed, colours.data(), palette.count(), &sink,
                &text)) {
        error = std::string("cannot encode the picture: ") + text.text;
        return false;
    }
    return true;
}

}  // namespace

bool EncodePng(const std::uint32_t* pixels, int stride, int width, int height,
               std::vector<unsigned char>& out, std::string& error) {
    return EncodeRows(pixels, stride, width, height, nullptr, out, error);
}

bool EncodePngInPlace(std::uint32_t* pixels, int width, int height, std::vector<unsigned char>& out,
                      std::string& error) {
    return EncodeRows(pixels, width, width, height, reinterpret_cast<std::uint8_t*>(pixels), out,
                      error);
}

}  // namespace zelk
