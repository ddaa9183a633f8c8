#include "sandbox/sandbox_runner.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace vardex::engine {

int execBwrap(const std::filesystem::path& bwrap, const std::vector<std::string>& arguments) {
    std::vector<std::string> words{bwrap.string()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::cout.flush();
    ::execv(bwrap.c_str(), argv.data());
    std::cerr << "vardex sandbox: cannot start " << bwrap.string() << ": " << std::strerror(errno) << "\n";
    return 127;
}

}  // namespace vardex::engine
