#pragma once
// The names the fitting program needs from START_A.INP, read line for line
// the way Zelk reads the file, so both agree on which line is which even
// when line 6 or 9 is unusual.

#include <string>
#include <string_view>

namespace zelk::fit {

struct TaskNames {
    std::string optFile;     // line 3
    std::string modelFile;   // line 5
    std::string expFile;     // line 8
    std::string fitProgram;  // line 11
    std::string resFile;     // line 13
    std::string axisFile;    // line 15
    int experimentFlag = 0;  // line 6
};

// Throws FitError when a line the program needs is missing.
TaskNames ParseTaskFile(std::string_view text);

}  // namespace zelk::fit
