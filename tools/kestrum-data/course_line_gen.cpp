// Each track's course centre line as a plain polyline, for the headless
// course followers and racing-line training: "x z width" every 4 ft from
// the starting gates round the lap.
#include "courses.h"
#include "dataset.h"

namespace {

bool build_course_lines(DataSet& ds)
{
    for (const Course& c : courses_all()) {
        std::string text = "# course centre line: x z width\n";
        for (const CourseSample& p : course_sample(c, 4.0))
            text += data_printf("%.3f %.3f %.3f\n", p.x, p.z, p.width);
        dataset_add(ds, c.name + "/course_line", text);
    }
    return true;
}

}  // namespace

KESTRUM_DATA_BUILDER("course lines", 320, build_course_lines);
