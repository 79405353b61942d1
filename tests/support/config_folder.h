// Lays out a plug-in configuration from a case folder of the bad-configuration corpus
// (tests/data/bad/<case>): every file is copied as it is, and the case's recipe file make.txt,
// if any, generates what is too big or too odd to keep in the repository.
//
// make.txt, one command per line ('#' starts a comment line):
//   dir <name>                        create a directory of that name
//   repeat <name> <count> <text>      append text count times to the file
// In <text>, \n \r \t \\ and \xHH stand for those bytes, {i} for the repetition's number
// counting up from 0 and {r} for it counting down to 0.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace mirevane::test {

// The case folders of a corpus, in name order.
std::vector<std::filesystem::path> CorpusCases(const std::filesystem::path& corpus);

// Copies the case's files into target (which exists) and runs its recipe there. Throws
// std::runtime_error on a recipe it cannot follow.
void LayOutConfiguration(const std::filesystem::path& caseFolder,
                         const std::filesystem::path& target);

} // namespace mirevane::test
