#pragma once
// Every test process runs in its own throw-away home: HOME and the XDG folders
// point into a fresh temporary folder, so no test can touch the user's files.
#include <string>

namespace testing_sandbox {
// Creates the folder and points the environment at it. Called by the test main.
void Enter();
// The sandbox root ("" before Enter).
const std::string& Root();
// A fresh, empty folder inside the sandbox.
std::string MakeTempDir(const std::string& hint = "t");
// A file of the tree's test data (testing/data/), e.g. "repro/text-bomb.pqs".
std::string DataFile(const std::string& name);
}  // namespace testing_sandbox
