#pragma once
// Writing the program's outputs so that a user's file is never half written,
// never written through a link planted in the folder, and never one of the
// inputs of the same run.

#include <string>
#include <string_view>
#include <vector>

namespace zelk::fit {

// A file that the run reads or writes, with the role it plays there
// ("model file"), for messages.
struct NamedFile {
    std::string path;
    std::string role;
};

// True when both names lead to the same file: the same resolved path, or for
// two existing files the same file under two names (a hard link).
bool SameFile(const std::string& a, const std::string& b);

// Throws FitError when an output is one of the inputs (by its name or through
// a link), two outputs have one name, or an output names a folder.
void RefuseUnsafeOutputs(const std::vector<NamedFile>& outputs,
                         const std::vector<NamedFile>& inputs);

// Outputs written in two steps. Stage() writes the text to a new file of its
// own beside the target, created exclusively (an existing file or link of
// that name is never opened); Commit() then renames every staged file onto
// its target, in the order staged. A staging set that is destroyed without
// Commit() removes its files and leaves every target as it was.
class StagedOutputs {
  public:
    StagedOutputs() = default;
    StagedOutputs(const StagedOutputs&) = delete;
    StagedOutputs& operator=(const StagedOutputs&) = delete;
    ~StagedOutputs();

    void Stage(const std::string& path, std::string_view text);
    void Commit();

  private:
    struct Entry {
        std::string target;
        std::string temporary;
    };
    std::vector<Entry> entries_;
};

}  // namespace zelk::fit
