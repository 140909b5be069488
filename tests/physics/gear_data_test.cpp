// The built data set holds every picture the bikes and the roster ask for:
// each catalogue bike's own graphics, the default rider and wheel pictures,
// and the "-altN" gear, helmets, wheels and bike graphics handed out to the
// robot riders.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/roster.h"
#include "files/stream.h"
#include "physics/bike_model.h"
#include "test_support.h"

TEST(GearData, EveryTextureTheBikesAndRosterNameIsShipped)
{
    GameDataScope data;
    if (!data.ready)
        GTEST_SKIP() << "no built data set";
    std::set<std::string> asked, missing;
    auto check = [&](const std::string& name) {
        if (name.empty() || !asked.insert(name).second)
            return;
        Stream* s = stream_open(name.c_str(), "rb");
        if (s)
            stream_close(s);
        else
            missing.insert(name);
    };
    for (int i = 0; const BikeModel* m = bike_model_at(i); i++) {
        SCOPED_TRACE(m->name);
        for (const char* t : {m->bike_texture, m->wheel_texture, m->rider_body_texture, m->rider_head_texture})
            if (t)
                check(t);
    }
    for (const RosterEntry& e : roster())
        for (const std::string* t : {&e.body, &e.helmet, &e.graphics, &e.wheels})
            check(*t);
    std::string list;
    for (const std::string& n : missing)
        list += " " + n;
    EXPECT_TRUE(missing.empty()) << "missing:" << list;
    EXPECT_GT(asked.size(), 10u);
}
