// The personality table.
#include "robots/personality.h"

#include <cstring>

#include "platform/log.h"
#include "robots/lines.h"

namespace {

const Personality PERSONALITIES[PERSONALITY_COUNT] = {
    {"empty", 0, 0, 0, {0, 0}},
    {"dunsa", 0, 0, 1, {0.2, 0.4}},
    {"pelko", 2, 1, 10, {0.2, 0.4}},
    {"wober", 1, 0, 10, {0, 0.1}},
    {"tester", 3, 3, 1, {0.2, 0.4}},
};

}  // namespace

const Personality* personality_get(int index)
{
    if (index < 0 || index >= PERSONALITY_COUNT)
        return nullptr;
    return &PERSONALITIES[index];
}

int personality_find(const char* name)
{
    if (!name)
        return -1;
    for (int i = 0; i < PERSONALITY_COUNT; i++)
        if (std::strcmp(PERSONALITIES[i].name, name) == 0)
            return i;
    return -1;
}

void personality_set(LineRider* r, const char* name)
{
    int i = personality_find(name);
    if (i < 0) {
        log_printf("auto pilot personality '%s' not found\n", name ? name : "");
        i = 1;
    }
    r->personality = i;
}
