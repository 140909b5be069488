// The trained racing lines of every track and skill, copied from the
// committed source data: training takes minutes of simulation, so its
// results are kept rather than remade by every build.
#include "courses.h"
#include "dataset.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

bool copy_trained_lines(DataSet& ds)
{
    if (ds.source.empty())
        return true;
    static const char* skills[] = {"lines_novice", "lines_amateur", "lines_expert"};
    for (const Course& c : courses_all()) {
        for (const char* skill : skills) {
            std::string name = c.name + "/" + skill;
            std::ifstream in(ds.source + "/" + name, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "kestrum-data: no trained lines %s; its robots will stand\n", name.c_str());
                continue;
            }
            std::ostringstream bytes;
            bytes << in.rdbuf();
            dataset_add(ds, name, bytes.str());
        }
    }
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("trained lines", 330, copy_trained_lines);
