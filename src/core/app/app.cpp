#include "core/app/app.h"

int app_main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    return 0;
}
