// The process snapshot and the start of a program: what every platform does alike.
#include <algorithm>
#include <string>

#include "world.h"

namespace pelko::contract {
namespace {

using Processes = Contract;

TEST_F(Processes, TheSnapshotHoldsThisProcessUnderItsFileName) {
    const std::string module = os.module_file_name().to_text();
    const std::string name = module.substr(module.find_last_of("\\/") + 1);
    const std::uint32_t id = os.current_process_id();
    const std::vector<ProcessRecord> snapshot = os.process_snapshot();
    const auto is_this = [&](const ProcessRecord& record) {
        return record.id == id && record.name == name;
    };
    EXPECT_TRUE(std::ranges::any_of(snapshot, is_this)) << name << " " << id;
}

// Only a path with a directory that ends in ".exe" is started; waited for, it has ended and done
// its work when the call returns.
TEST_F(Processes, AnExePathIsStartedAndWaitedFor) {
    const OsString program = world->put_program("contract-stand-in.exe");
    const OsString record = OsString::from_utf8(program.to_text() + ".txt");
    const std::string line = "\"" + program.to_text() + "\" 300";
    ASSERT_TRUE(os.run_program(program, OsString::from_utf8(line), ProgramWait::until_exit));
    EXPECT_EQ(world->file(record), line + "\n");
    EXPECT_FALSE(world->runs("contract-stand-in.exe"));

    const OsString no_ending = world->put_program("contract-stand-in");
    EXPECT_EQ(failure_kind(os.run_program(no_ending, OsString::from_utf8("x 1"),
                                          ProgramWait::until_exit)),
              OsErrorKind::not_found);
    EXPECT_FALSE(world->exists(OsString::from_utf8(no_ending.to_text() + ".txt")));
    EXPECT_EQ(failure_kind(os.run_program(at("none.exe"), OsString::from_utf8("x"),
                                          ProgramWait::until_exit)),
              OsErrorKind::not_found);
    const auto refused = OsErrorKind::nul_in_string;
    EXPECT_EQ(failure_kind(os.run_program(at(std::string("a\0.exe", 6)),
                                          OsString::from_utf8("x"), ProgramWait::no)),
              refused);
    EXPECT_EQ(failure_kind(os.run_program(program, OsString::from_utf8(std::string("x\0 1", 4)),
                                          ProgramWait::until_exit)),
              refused);
    EXPECT_EQ(world->file(record), line + "\n");
}

}  // namespace
}  // namespace pelko::contract
