// The connection in use, from a snapshot of the default routes; and the
// hand-over of the own-address table to the capture thread.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <thread>
#include <vector>
#include "adapters/connection_choice.h"
#include "monitor/address_exchange.h"

namespace {

struct Route {
    int family;
    uint32_t index, metric;
    const char* guid;
};

bool Listed(const char* guid, void* context)
{
    for (const std::string& usable : *static_cast<std::vector<std::string>*>(context))
        if (usable == guid)
            return true;
    return false;
}

TEST(ChooseConnection, LowestMetricIpv4FirstSkippingAdaptersThatCannotBeCaptured)
{
    struct Case {
        const char* what;
        std::vector<Route> routes;
        std::vector<std::string> capturable;
        const char* chosen; // "" for none
    };
    const Case cases[] = {
        { "no route", {}, { "{A}" }, "" },
        { "one route", { { 4, 7, 25, "{A}" } }, { "{A}" }, "{A}" },
        { "lower metric wins", { { 4, 7, 25, "{A}" }, { 4, 9, 10, "{B}" } }, { "{A}", "{B}" }, "{B}" },
        { "IPv4 before a lower IPv6 metric", { { 6, 9, 1, "{B}" }, { 4, 7, 500, "{A}" } }, { "{A}", "{B}" }, "{A}" },
        { "IPv6 alone is used", { { 6, 9, 256, "{B}" } }, { "{B}" }, "{B}" },
        { "no capture device: the next one", { { 4, 7, 5, "{A}" }, { 4, 9, 50, "{B}" } }, { "{B}" }, "{B}" },
        { "no capture device: then IPv6", { { 4, 7, 5, "{A}" }, { 6, 9, 50, "{B}" } }, { "{B}" }, "{B}" },
        { "none capturable", { { 4, 7, 5, "{A}" }, { 6, 9, 50, "{B}" } }, {}, "" },
        { "tie: lower interface index", { { 4, 9, 10, "{B}" }, { 4, 7, 10, "{A}" } }, { "{A}", "{B}" }, "{A}" },
    };
    for (const Case& c : cases) {
        RouteSnapshot snapshot = {};
        for (const Route& r : c.routes)
            ASSERT_TRUE(AddDefaultRoute(&snapshot, r.family, r.index, r.metric, r.guid));
        RankDefaultRoutes(&snapshot);
        std::vector<std::string> capturable = c.capturable;
        int choice = ChooseConnection(snapshot, Listed, &capturable);
        EXPECT_EQ(c.chosen, choice < 0 ? std::string() : std::string(snapshot.route[choice].guid)) << c.what;
    }
}

TEST(ChooseConnection, SnapshotsCompareByEveryFieldAndRefuseWhatDoesNotFit)
{
    RouteSnapshot a = {}, b = {};
    AddDefaultRoute(&a, 4, 7, 25, "{A}");
    AddDefaultRoute(&b, 4, 7, 25, "{A}");
    EXPECT_TRUE(SameDefaultRoutes(a, b));
    b.route[0].metric = 26;
    EXPECT_FALSE(SameDefaultRoutes(a, b));
    b.route[0].metric = 25;
    AddDefaultRoute(&b, 6, 7, 25, "{A}");
    EXPECT_FALSE(SameDefaultRoutes(a, b));

    EXPECT_FALSE(AddDefaultRoute(&a, 4, 1, 1, std::string(ROUTE_GUID_SIZE, 'x').c_str()));
    RouteSnapshot full = {};
    for (int i = 0; i < ROUTE_MAX; ++i)
        ASSERT_TRUE(AddDefaultRoute(&full, 4, i, 1, "{A}"));
    EXPECT_FALSE(AddDefaultRoute(&full, 4, 99, 1, "{A}"));
    EXPECT_EQ(unsigned(ROUTE_MAX), full.count);
}

OwnAddresses Table(const char* ipv4, unsigned count, unsigned char fill)
{
    OwnAddresses own;
    std::memset(&own, fill, sizeof own);
    std::strcpy(own.ipv4, ipv4);
    own.ipv6.count = count;
    return own;
}

TEST(AddressExchange, TheReaderSeesTheNewestWholeTableAndNothingElse)
{
    AddressExchange exchange(Table("10.0.0.1", 1, 0x11));
    struct Step { const char* ipv4; unsigned count; unsigned char fill; bool changed; const char* seen; };
    const Step steps[] = {
        { "10.0.0.1", 1, 0x11, false, "10.0.0.1" }, // the same table is no change
        { "10.0.0.2", 1, 0x11, true, "10.0.0.2" },
        { "10.0.0.2", 2, 0x11, true, "10.0.0.2" },  // an IPv6 address more
        { "10.0.0.2", 2, 0x22, true, "10.0.0.2" },  // another IPv6 address
        { "", 0, 0x22, true, "" },                  // the address is gone
    };
    for (const Step& step : steps) {
        EXPECT_EQ(step.changed, exchange.Publish(Table(step.ipv4, step.count, step.fill))) << step.ipv4;
        const OwnAddresses* taken = exchange.Take();
        EXPECT_STREQ(step.seen, taken->ipv4);
        EXPECT_EQ(step.count, taken->ipv6.count);
        EXPECT_EQ(step.fill, taken->ipv6.address[0][0]);
    }

    // A writer publishing while the reader reads: every table the reader
    // holds is whole (one fill throughout) until it takes the next.
    std::atomic<bool> done{ false };
    std::atomic<long> torn{ 0 };
    std::thread reader([&] {
        while (!done.load()) {
            const OwnAddresses* own = exchange.Take();
            unsigned char fill = own->ipv6.address[0][0];
            for (unsigned i = 0; i < OWN_IPV6_MAX; ++i)
                for (unsigned j = 0; j < 16; ++j)
                    if (own->ipv6.address[i][j] != fill)
                        ++torn;
        }
    });
    for (int i = 0; i < 20000; ++i)
        exchange.Publish(Table("10.0.0.3", 3, static_cast<unsigned char>(i)));
    done = true;
    reader.join();
    EXPECT_EQ(0, torn.load());
}

} // namespace
