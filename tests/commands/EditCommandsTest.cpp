// The editor commands, "&Set Task", "&Task", the axis command and the right
// mouse button.

#include <sys/stat.h>

#include <filesystem>

#include "CommandsFixture.h"
#include "commands/CommandIds.h"
#include "platform/Platform.h"

namespace zelk::testing {
namespace {

struct EditorCase {
    int id;
    std::string file;               // as the command edits it
    std::string PlotState::*field;  // where the name comes from, or nullptr
    std::string missingText;        // "" when there is no existence check
};

const std::vector<EditorCase> kEditorCases = {
    {ID_MODEL, "model file.mod", &PlotState::modelFile, ""},
    {ID_CALCOPT, "opt.inp", &PlotState::optFile, "CAN NOT FIND FILE: OPTFILE\nopt.inp"},
    {ID_FITOPT, "FIT.INP", nullptr, "CAN NOT FIND FILE: FIT.INP"},
    {ID_ANGLE_SCALE, "Angle.inp", nullptr, "CAN NOT FIND FILE: Angle.inp"},
    {ID_ENERGY_SCALE, "Energy.inp", nullptr, "CAN NOT FIND FILE: Energy.inp"},
    {ID_EDIT_NEWMOD, "newmod.res", nullptr, ""},
};

TEST_F(CommandsTest, EditorCommandsCheckOpenAndWaitForTheirFile) {
    for (const EditorCase& c : kEditorCases) {
        SCOPED_TRACE(c.file);
        for (bool present : {false, true}) {
            host = RecordingHost();
            if (c.field != nullptr) {
                (*state).*c.field = c.file;
            }
            if (present) {
                WriteText(c.file, "content\n");
            } else {
                std::filesystem::remove(c.file);
            }
            ASSERT_TRUE(commands.Execute(c.id));
            const Strings expected =
                present || c.missingText.empty() ? Strings{} : Strings{c.missingText};
            EXPECT_EQ(host.messages, expected);
            ASSERT_EQ(host.launches.size(), 1u);
            EXPECT_EQ(host.launches[0].program, kEditor);
            EXPECT_EQ(host.launches[0].argv, (Strings{InTask(c.file), InTask(c.file)}));
            EXPECT_EQ(host.launches[0].waitingFor, "Waiting for the editor to close: " + c.file);
            EXPECT_EQ(state->editedFile, c.file);
            EXPECT_EQ(host.redraws, 0);
            EXPECT_EQ(ReadText(c.file), present ? "content\n" : "<missing>");
        }
    }
    EXPECT_EQ(state->fitRunCount, 0);
}

TEST_F(CommandsTest, OtherIdsAreNotTaskCommands) {
    for (int id : {0, 32770, 32773, int{ID_FILE_OPEN}, int{ID_APP_ABOUT}}) {
        EXPECT_FALSE(commands.Execute(id)) << id;
    }
    EXPECT_TRUE(host.launches.empty());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(CommandsTest, AbsoluteNamesFromTheTaskReachTheEditorUnchanged) {
    const std::string elsewhere = folder.path() + "/shared models/model one.mod";
    std::filesystem::create_directory(folder.path() + "/shared models");
    WriteText(elsewhere, "model\n");
    state->modelFile = elsewhere;
    state->optFile = elsewhere;
    commands.Execute(ID_MODEL);
    commands.Execute(ID_CALCOPT);
    EXPECT_TRUE(host.messages.empty());  // the check found the file where it is
    ASSERT_EQ(host.launches.size(), 2u);
    for (const auto& launch : host.launches) {
        EXPECT_EQ(launch.argv, (Strings{elsewhere, elsewhere}));
    }
}

TEST_F(CommandsTest, EveryEditEndsInTheWorkingDirectory) {
    // An editor run that leaves the process elsewhere (here: the root).
    host.onLaunch = [](const RecordingHost::LaunchRecord&) {
        std::filesystem::current_path("/");
        return 0;
    };
    commands.EditInNotepad("FIT.INP", std::nullopt);
    EXPECT_EQ(platform::CurrentDirectory(), folder.path());
}

TEST_F(CommandsTest, EditorUnknownYetMeansTheOneBesideTheProgram) {
    // Before the first "&Set Task" neither folder is recorded: the file is
    // taken from the current directory, where the check looked.
    state->workDir.clear();
    state->windowsDir.clear();
    commands.Execute(ID_FITOPT);
    ASSERT_EQ(host.launches.size(), 1u);
    EXPECT_EQ(host.launches[0].program, EditorIn(platform::WindowsDirectory()));
    EXPECT_EQ(host.launches[0].argv, (Strings{"FIT.INP", "FIT.INP"}));
    EXPECT_TRUE(state->windowsDir.empty());
}

TEST_F(CommandsTest, EditorThatCannotStartIsReportedAndTheCommandGoesOn) {
    WriteText("FIT.INP", "x\n");
    host.onLaunch = [](const RecordingHost::LaunchRecord&) { return -1; };
    commands.Execute(ID_FITOPT);
    EXPECT_EQ(host.messages, Strings{"CAN NOT START THE EDITOR: " + kEditor});
    EXPECT_EQ(state->editedFile, "FIT.INP");
}

// Windows has no ZELK_EDITOR: the editor is always Notepad there.
#ifndef _WIN32
TEST_F(CommandsTest, UserEditorGetsThePathWholeAsItsLastArgument) {
    ScopedEnv editor("ZELK_EDITOR", "/usr/bin/my-editor --wait");
    WriteText("FIT.INP", "x\n");
    commands.Execute(ID_FITOPT);
    ASSERT_EQ(host.launches.size(), 1u);
    EXPECT_EQ(host.launches[0].program, "/usr/bin/my-editor");
    EXPECT_EQ(host.launches[0].argv, (Strings{"/usr/bin/my-editor", "--wait", InTask("FIT.INP")}));
}
#endif

}  // namespace
}  // namespace zelk::testing
