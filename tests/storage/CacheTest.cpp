// The shared resource cache with a fake decoder: sharing by key, ageing,
// the byte budget and the eviction order.
#include <gtest/gtest.h>

#include <string>

#include "storage/uCache.h"

namespace zel {
namespace {

constexpr uint64_t kMiB = 1 << 20;

struct TFakeObject {
    std::string bytes;
};

// Each byte of the data is one MiB of decoded size; data starting with 'x'
// does not decode.
class TFakeCache : public TCache<TFakeObject> {
public:
    int decodes = 0;

protected:
    std::unique_ptr<TFakeObject> Decode(const uint8_t* data, size_t size, const std::string&) override {
        ++decodes;
        if (size == 0 || data[0] == 'x') return nullptr;
        return std::make_unique<TFakeObject>(TFakeObject{std::string(reinterpret_cast<const char*>(data), size)});
    }
    uint64_t SizeOf(const TFakeObject& o) const override { return o.bytes.size() * kMiB; }
};

const TFakeObject* Get(TFakeCache& c, std::string_view data, std::string_view key) {
    TMemoryStream s(data);
    return c.Acquire(s, data.size(), key);
}

bool Holds(const TFakeCache& c, std::string_view key) {
    for (const auto& e : c.Entries())
        if (e.key == key) return true;
    return false;
}

TEST(Cache, SharesByLowerCasedKeyAndMovesTheStreamOnAHit) {
    TFakeCache c;
    c.SetBudget(100 * kMiB);
    TMemoryStream s(std::string_view("abcdXY"));
    const TFakeObject* a = c.Acquire(s, 4, "Anim_Image_A.PNG");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(s.Position(), 4u);
    s.Seek(0);
    const TFakeObject* b = c.Acquire(s, 4, "anim_image_a.png");
    EXPECT_EQ(a, b);
    EXPECT_EQ(s.Position(), 4u);
    EXPECT_EQ(c.decodes, 1);
    ASSERT_EQ(c.Count(), 1u);
    const auto e = c.Entries()[0];
    EXPECT_EQ(e.key, "anim_image_a.png");
    EXPECT_EQ(e.users, 2);
    EXPECT_EQ(e.hits, 2);
    EXPECT_EQ(e.size, 4 * kMiB);
    EXPECT_EQ(e.requestSize, 4u);
}

TEST(Cache, RefusedDataAndShortStreams) {
    TFakeCache c;
    TMemoryStream s(std::string_view("xyz"));
    EXPECT_EQ(c.Acquire(s, 3, "bad"), nullptr);
    EXPECT_EQ(s.Position(), 3u);  // moved on even though nothing decoded
    EXPECT_EQ(c.Count(), 0u);
    s.Seek(1);
    EXPECT_EQ(c.Acquire(s, 3, "short"), nullptr);  // 3 bytes asked, 2 left
    EXPECT_EQ(s.Position(), 1u);
    EXPECT_EQ(c.decodes, 1);
}

TEST(Cache, BudgetZeroDestroysAnIdleObjectAtOnceButNeverOneInUse) {
    TFakeCache c;
    const TFakeObject* a = Get(c, "aaaa", "a");
    const TFakeObject* a2 = Get(c, "aaaa", "a");
    ASSERT_EQ(a, a2);
    c.Release(a);
    EXPECT_EQ(c.Count(), 1u);  // one user left
    c.Release(a);
    EXPECT_EQ(c.Count(), 0u);
    c.Release(a);  // no longer held: ignored
    EXPECT_EQ(c.Count(), 0u);
}

TEST(Cache, ThreeIdleImagesOverBudgetLeaveTwoAndFewerHitsGoFirst) {
    TFakeCache c;
    c.SetBudget(10 * kMiB);
    const TFakeObject* a = Get(c, "aaaa", "a");
    Get(c, "aaaa", "a");  // a: two hits
    const TFakeObject* b = Get(c, "bbbb", "b");
    const TFakeObject* d = Get(c, "dddd", "d");
    c.Release(a);
    c.Release(a);
    c.Release(d);  // d is idle longer than b, but b has no more hits than d
    c.Release(b);  // 12 MiB idle: the idle entry with the lowest score goes
    EXPECT_EQ(c.Count(), 2u);
    EXPECT_TRUE(Holds(c, "a"));
    EXPECT_TRUE(Holds(c, "b"));   // released last: more life than d
    EXPECT_FALSE(Holds(c, "d"));  // one hit and the least life
    EXPECT_EQ(c.IdleBytes(), 8 * kMiB);
}

TEST(Cache, HitsOutweighLife) {
    TFakeCache c;
    c.SetBudget(9 * kMiB);
    const TFakeObject* a = Get(c, "aaaa", "a");
    for (int i = 0; i < 3; ++i) Get(c, "aaaa", "a");
    for (int i = 0; i < 4; ++i) c.Release(a);  // a: 4 hits, idle first
    for (int i = 0; i < 100; ++i) c.SetBudget(9 * kMiB);  // a ages by 100 operations
    const TFakeObject* b = Get(c, "bbbb", "b");
    c.Release(b);  // 8 MiB idle: under the budget, both stay
    EXPECT_EQ(c.Count(), 2u);
    c.SetBudget(8 * kMiB);  // at the budget: one must go
    EXPECT_TRUE(Holds(c, "a"));
    EXPECT_FALSE(Holds(c, "b"));
}

TEST(Cache, LifeCountsOperations) {
    TFakeCache c;
    c.SetBudget(100 * kMiB);
    const TFakeObject* a = Get(c, "a", "a");
    c.Release(a);
    EXPECT_EQ(c.Entries()[0].life, 255);
    for (int i = 0; i < 254; ++i) c.SetBudget(100 * kMiB);
    ASSERT_EQ(c.Count(), 1u);
    EXPECT_EQ(c.Entries()[0].life, 1);
    c.SetBudget(100 * kMiB);
    EXPECT_EQ(c.Count(), 0u);
    // An object in use does not age.
    const TFakeObject* b = Get(c, "b", "b");
    for (int i = 0; i < 300; ++i) c.SetBudget(0);
    EXPECT_EQ(c.Count(), 1u);
    EXPECT_EQ(c.Entries()[0].life, 256);
    c.Release(b);
}

TEST(Cache, DollarKeysDieAtTheirLastRelease) {
    TFakeCache c;
    c.SetBudget(100 * kMiB);
    const TFakeObject* t = Get(c, "t", "anim_Image_$$$thumb.png");
    const TFakeObject* t2 = Get(c, "t", "anim_image_$$$thumb.png");
    ASSERT_EQ(t, t2);
    c.Release(t);
    EXPECT_EQ(c.Count(), 1u);  // still one user
    c.Release(t);
    EXPECT_EQ(c.Count(), 0u);
}

TEST(Cache, AtMostSeventeenEvictionsPerTrim) {
    TFakeCache c;
    c.SetBudget(1000 * kMiB);
    std::vector<const TFakeObject*> objs;
    for (int i = 0; i < 20; ++i) objs.push_back(Get(c, "o", "k" + std::to_string(i)));
    for (const TFakeObject* o : objs) c.Release(o);
    EXPECT_EQ(c.Count(), 20u);
    c.SetBudget(0);
    EXPECT_EQ(c.Count(), 3u);
    c.SetBudget(0);
    EXPECT_EQ(c.Count(), 0u);
}

TEST(Cache, HandlesReleaseOnceAndBudgetsComeFromCacheSize) {
    TFakeCache c;
    {
        TCacheHandle<TFakeObject> h(&c, Get(c, "a", "a"));
        TCacheHandle<TFakeObject> moved = std::move(h);
        EXPECT_FALSE(h);
        EXPECT_TRUE(moved);
        EXPECT_EQ(c.Entries()[0].users, 1);
    }
    EXPECT_EQ(c.Count(), 0u);

    EXPECT_EQ(CacheBudgetsFor(0).images, 0u);
    EXPECT_EQ(CacheBudgetsFor(-5).waves, 0u);
    EXPECT_EQ(CacheBudgetsFor(0xA00000).images, 0xA00000u);
    EXPECT_EQ(CacheBudgetsFor(0xA00000).waves, 0xA00000u / 6);
    EXPECT_EQ(CacheBudgetsFor(0x2800000).waves, 0x2800000u / 6);
    EXPECT_EQ(CacheBudgetsFor(0x4000000).waves, 0x800000u);  // 64 MiB: capped at 8 MiB
}

}  // namespace
}  // namespace zel
