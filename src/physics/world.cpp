#include "physics/bike.h"
#include "physics/rider.h"
#include "platform/log.h"

namespace {
dWorldID g_world = nullptr;
dJointGroupID g_contacts = nullptr;
}  // namespace

bool physics_world_init()
{
    if (g_world)
        return true;
    dInitODE2(0);
    // The headers are checked at compile time; this catches a library built
    // with the other precision behind headers that claim double.
    if (!dCheckConfiguration("ODE_double_precision")) {
        log_printf("Error: the physics library is not the double-precision build\n");
        dCloseODE();
        return false;
    }
    g_world = dWorldCreate();
    dWorldSetGravity(g_world, 0, -32, 0);
    g_contacts = dJointGroupCreate(0);
    rider_install();
    return true;
}

void physics_world_close()
{
    if (!g_world)
        return;
    dJointGroupDestroy(g_contacts);
    dWorldDestroy(g_world);
    g_contacts = nullptr;
    g_world = nullptr;
    dCloseODE();
}

dWorldID physics_world() { return g_world; }
dJointGroupID physics_contact_group() { return g_contacts; }

void physics_world_step()
{
    if (!g_world)
        return;
    dWorldStep(g_world, TICK_SECONDS);
    dJointGroupEmpty(g_contacts);
}
