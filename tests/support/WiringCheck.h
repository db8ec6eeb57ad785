#pragma once
// The check of messages sent by name, for a whole test program: every send is recorded from the
// first test on, and at the end each recorded send is held against its receivers (argument kinds,
// and the classes of the objects passed); a mismatch fails the program. Screen tests run one test
// a process, so a mismatch fails the test that made it.
namespace testing_support {

// Adds the check to the program's global test environment; call before RUN_ALL_TESTS.
void checkMessageWiring();

}  // namespace testing_support
