// What start-up takes from the configuration and the command line into the
// subsystems that use it.
#include <gtest/gtest.h>

#include "core/app/app_state.h"
#include "files/config.h"
#include "files/model_file.h"

// The model detail slider and --lod-scale / --lod-bias decide which
// distance variant of a model is drawn.
TEST(AppSettings, LodOptionsReachTheVariantChoice)
{
    config_reset_defaults();
    App app;
    app.opts.lod_scale = 2;
    app.opts.lod_bias = 8;
    app_apply_command_line(app);
    EXPECT_DOUBLE_EQ(lod_settings().scale, 2);
    EXPECT_DOUBLE_EQ(lod_settings().bias, 8);
    lod_settings_set(1, 0);
}
