#include <gtest/gtest.h>

#include <charconv>

#include "policy/rule_ids.hpp"
#include "support/case_name.hpp"

namespace vardex {
namespace {

std::string hashTail(std::string_view path) {
    const auto hash = static_cast<std::uint64_t>(pathHash(path));
    const std::uint64_t magnitude = (hash >> 63) != 0 ? ~hash + 1 : hash;
    char hex[16];
    return "." + std::string(hex, std::to_chars(hex, hex + 16, magnitude, 16).ptr);
}

struct SlugCase { const char *name, *path, *head; };  // head: the slug without its hash tail

class Slug : public ::testing::TestWithParam<SlugCase> {};

TEST_P(Slug, IsTheLastComponentTidiedThenTheHash) {
    const std::string path = GetParam().path;
    EXPECT_EQ(slug(path), GetParam().head + hashTail(path));
}

const SlugCase slugCases[] = {
    {"Root", "/", "folder"}, {"HiddenFolder", "/home/ana/.ssh", "ssh"}, {"TrailingSlashes", "/home/ana/Projects//", "projects"},
    {"SpacesAndPunctuation", "/home/ana/My  Projects (old)", "my.projects.old"},
    {"LongNameCutAfterTrimming", "/x/ Alpha Beta Gamma Delta Epsilon ", "alpha.beta.gamma.delta.e"},
    {"NonAsciiLettersAreLetters", "/home/Ärger Ölé", "ärger.ölé"}, {"CombiningMarkStaysWithItsLetter", "/x/Cafe\xCC\x81", "cafe\xCC\x81"},
    {"EmojiIsNotALetter", "/x/a🙂b", "a.b"}, {"InvalidBytesAreNotLetters", "/x/a\xFF\xFE" "b", "a.b"},
    {"CutCountsCharactersNotBytes", "/x/ééééééééééééééééééééééééé", "éééééééééééééééééééééééé"},
};

INSTANTIATE_TEST_SUITE_P(Paths, Slug, ::testing::ValuesIn(slugCases), testing::caseName);

TEST(SlugHash, CoversTheWholePath) {
    // Same last component, different folders: the hash keeps the ids apart.
    EXPECT_NE(slug("/home/ana/work"), slug("/srv/work"));
    EXPECT_NE(slug("/srv/work"), slug("/srv/work/"));
}

struct DomainCase { const char *name, *typed, *bare; };

class Domain : public ::testing::TestWithParam<DomainCase> {};

TEST_P(Domain, IsTheBareLowerCaseHost) { EXPECT_EQ(normalisedDomain(GetParam().typed), GetParam().bare); }

INSTANTIATE_TEST_SUITE_P(Typed, Domain, ::testing::Values(
        DomainCase{"UrlWithPath", "https://www.Example.com/path?q=1", "example.com"},
        DomainCase{"WildcardAndBlanks", "  *.GitHub.com\n", "github.com"},
        DomainCase{"PortKept", "localhost:8080/admin", "localhost:8080"},
        DomainCase{"UnicodeBlanksAndCase", "\xC2\xA0\xC3\x89XAMPLE.fr\xE2\x80\xA8", "\xC3\xA9xample.fr"},
        DomainCase{"NoHost", "https:///", ""}), testing::caseName);

}  // namespace
}  // namespace vardex
