#include "TaskFile.h"

#include <cstdint>

#include "Text.h"
#include "plot/TextStream.h"

namespace zelk::fit {

TaskNames ParseTaskFile(std::string_view text) {
    zelk::TextStream in;
    in.OpenText(text);
    int lineNumber = 0;
    std::string line;
    auto read = [&](const char* role) -> std::string {
        ++lineNumber;
        if (!in.ReadLine(line)) {
            throw FitError("START_A.INP ends before line " + std::to_string(lineNumber) + " (" +
                           role + ")");
        }
        return line;
    };
    TaskNames names;
    read("free text");
    read("free text");
    names.optFile = read("options file");
    read("free text");
    names.modelFile = read("model file");
    std::int32_t flag = 0;
    in.ScanUnsigned(flag);
    names.experimentFlag = flag;
    read("experiment flag");
    read("free text");
    names.expFile = read("experimental file");
    float marker = 0.0f;
    in.ScanFloat(marker);
    in.ScanFloat(marker);
    read("marker positions");
    read("free text");
    names.fitProgram = read("fitting program");
    read("free text");
    names.resFile = read("result file");
    // Lines 14 and 15 matter to Zelk, not to the fit.
    if (in.ReadLine(line) && in.ReadLine(line)) {
        names.axisFile = line;
    }
    return names;
}

}  // namespace zelk::fit
