// The layout cache: keyed by text and maximum width, it keeps the 256 texts used last and gives a new text the
// entry, and so the storage, of the least recently used one.

#include "stimulark/text/LayoutCache.hpp"

#include <gtest/gtest.h>

#include <string>

namespace Stimulark::Testing {
namespace {

bool cached(LayoutCache& cache, const std::string& text, double maxWidth = 0.0) {
    bool found = false;
    cache.find(text, maxWidth, found);
    return found;
}

TEST(LayoutCache, FindsTextsByTextAndWidthAndForgetsTheLeastRecentlyUsed) {
    LayoutCache cache;
    EXPECT_FALSE(cached(cache, "a"));
    EXPECT_TRUE(cached(cache, "a"));
    EXPECT_FALSE(cached(cache, "a", 100.0)) << "the width belongs to the key";
    EXPECT_FALSE(cached(cache, "ab"));
    for (int i = 0; i < 253; ++i) // fills the cache: "a", "a" at 100, "ab" and these
        cached(cache, "text " + std::to_string(i));
    EXPECT_TRUE(cached(cache, "a", 100.0));
    EXPECT_TRUE(cached(cache, "a"));

    // "ab" is now the oldest: the next new text takes its entry.
    bool found = true;
    const LaidOutText* oldest = &cache.find("ab", 0.0, found);
    EXPECT_TRUE(found);
    for (int i = 0; i < 253; ++i)
        cached(cache, "text " + std::to_string(i));
    cached(cache, "a");
    cached(cache, "a", 100.0);
    LaidOutText& fresh = cache.find("new", 0.0, found);
    EXPECT_FALSE(found);
    EXPECT_EQ(&fresh, oldest);
    EXPECT_EQ(fresh.text, "new");
    EXPECT_FALSE(cached(cache, "ab"));
    EXPECT_TRUE(cached(cache, "a"));
}

} // namespace
} // namespace Stimulark::Testing
