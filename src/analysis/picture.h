#pragma once
// The analysis picture as a file: the format chosen from the name and the
// dialog's filter, and the three encoders over a plain RGB buffer.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/atomic_file.h"

namespace analysis {

// Pixels row by row from the top, three bytes each: red, green, blue.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// A white picture, as "Save Image" writes before any graph is drawn.
RgbImage blankPicture(int width, int height);

enum class PictureFormat { Jpeg, Bmp, Png };

struct PictureTarget {
    std::string path; // the name to write, as typed or with the filter's extension
    PictureFormat format;
};

// ".png", ".jpg", ".bmp" and ".jpeg" in any case choose the format and keep
// the name; any other name gets the extension of the filter entry
// (1 ".jpg", 2 ".bmp", any other ".png") appended.
PictureTarget pictureTarget(const std::string& path, int filterIndex);

// Raised when a picture cannot be made or written; names the file and why.
class PictureWriteError : public settings::FileWriteError {
public:
    using settings::FileWriteError::FileWriteError;
};

// The encoders. They throw std::runtime_error with the encoder's reason.
std::string encodeBmp(const RgbImage& img);               // 24-bit, uncompressed
std::string encodePng(const RgbImage& img);               // libpng, 8-bit RGB
std::string encodeJpeg(const RgbImage& img, int quality); // libjpeg, baseline colour

inline constexpr int kJpegQuality = 90;

// Encodes and writes the file whole or not at all; a failure throws
// PictureWriteError and leaves any earlier file of that name intact.
void writePicture(const PictureTarget& target, const RgbImage& img);

} // namespace analysis
