// The whole way from a task folder's bytes to pixels: the readers as
// "&Set Task" runs them, then the drawing pass onto the pixel canvas of a
// client area of fuzzed size. The first four bytes set the scene:
//   0, 1  client width, height (0 to 255, times 1 to 4 by byte 2)
//   2     bits 0-1: size multiplier - 1; bits 2-7: fit runs (signed, / 4)
//   3     bit 0: take a snapshot of the fit after reading
// The rest is START_A.INP, the axis file, the experimental file, the result
// file and EPS.res, separated by zero bytes. The image lies inside a guard band
// that must come out unchanged: nothing is drawn outside the client area.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "commands/TaskCommands.h"
#include "frame/PixelCanvas.h"
#include "frame/PixelSurface.h"
#include "plot/CPlotter.h"
#include "plot/DrawPass.h"
#include "plot/Readers.h"
#include "support/RecordingHost.h"

namespace {

constexpr std::uint32_t kGuard = 0xA5A5A5A5u;
constexpr int kBorder = 16;

// Text cells as the screen draws them, a fixed advance per character: enough
// to put the cell fills of every label through the canvas.
void CellText(zelk::PixelCanvas& canvas, int x, int y, std::string_view text,
              std::uint32_t background) {
    const auto width = static_cast<int>(std::min<std::size_t>(text.size(), 4096)) * 7;
    canvas.Fill(x, y, width, 13, background);
    canvas.Fill(x + 1, y + 2, width - 2, 9, 0xFF000000u);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelk;
    static auto state = std::make_unique<PlotState>();
    std::array<std::uint8_t, 4> scene{};
    const std::size_t sceneBytes = std::min(size, scene.size());
    std::copy(data, data + sceneBytes, scene.begin());
    std::string_view rest = fuzz::AsText(data + sceneBytes, size - sceneBytes);

    const char* const names[] = {"START_A.INP", "axis.inp", "exp.dat", "res.dat", "EPS.res"};
    for (const char* name : names) {
        const std::size_t end = std::min(rest.find('\0'), rest.size());
        fuzz::WriteTaskFile(name, rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }

    *state = PlotState();
    const int multiplier = (scene[2] & 3) + 1;
    state->clientWidth = scene[0] * multiplier;
    state->clientHeight = scene[1] * multiplier;
    state->fitRunCount = static_cast<std::int8_t>(scene[2]) / 4;

    testing::RecordingHost host;
    try {
        ReadTaskFile(*state, host);
        // The task names its files; the fuzzed ones are under fixed names.
        state->axisFile = "axis.inp";
        state->expFile = "exp.dat";
        state->resFile = "res.dat";
        ReadCurveFiles(*state, host);
        ReadAxisFile(*state, host);
        ReadCurveFiles(*state, host);
        if ((scene[3] & 1) != 0) {
            TaskCommands(*state, host).TakeSnapshot();
        }
    } catch (const FatalError&) {
        return 0;  // "Invalid parameters file": nothing is drawn
    }

    const int w = state->clientWidth;
    const int h = state->clientHeight;
    const int stride = w + 2 * kBorder;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(stride) * (h + 2 * kBorder), kGuard);
    std::uint32_t* const origin =
        pixels.data() + static_cast<std::ptrdiff_t>(kBorder) * stride + kBorder;
    {
        PixelSurface surface(PixelCanvas(origin, stride, w, h), CellText);
        DrawPass(*state, CPlotter(), surface);
    }
    for (int y = -kBorder; y < h + kBorder; ++y) {
        for (int x = -kBorder; x < w + kBorder; ++x) {
            if (x < 0 || y < 0 || x >= w || y >= h) {
                fuzz::Check(origin[static_cast<std::ptrdiff_t>(y) * stride + x] == kGuard,
                            "drawn outside the client area");
            }
        }
    }
    return 0;
}
