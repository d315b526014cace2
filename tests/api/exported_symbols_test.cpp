// libyoxa.so exports exactly its documented interface: nothing internal leaks out (logging library,
// standard library instantiations, our own classes), and nothing documented is missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
    std::set<std::string> symbols;
    std::string command = "nm -D --defined-only '" + library + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return symbols;
    char line[4096];
    while (std::fgets(line, sizeof(line), pipe) != nullptr) {
        char address[64], type[8], name[4000];
        if (std::sscanf(line, "%63s %7s %3999s", address, type, name) == 3) symbols.insert(name);
    }
    pclose(pipe);
    return symbols;
}

}  // namespace

TEST(ExportedSymbols, MatchTheDocumentedInterface) {
    std::set<std::string> expected;
    std::ifstream list(YOXA_SYMBOL_LIST);
    for (std::string name; std::getline(list, name);) {
        if (!name.empty()) expected.insert(name);
    }
    ASSERT_FALSE(expected.empty());
    std::set<std::string> actual = DefinedDynamicSymbols(YOXA_SHARED_LIBRARY);
    ASSERT_FALSE(actual.empty()) << "nm found no symbols in " << YOXA_SHARED_LIBRARY;

    for (const std::string& name : actual) {
        EXPECT_TRUE(expected.count(name)) << "unexpected export: " << name;
    }
    for (const std::string& name : expected) {
        EXPECT_TRUE(actual.count(name)) << "missing export: " << name;
    }
}
