#include "core/view_mode.h"

ViewMode view_settle(ViewMode mode, const ViewFacts& f)
{
    if (f.have_track && mode == VIEW_TITLE)
        mode = VIEW_RIDER;
    if (f.viewed_is_player && mode != VIEW_EDITOR && mode != VIEW_RIDER && mode != VIEW_CHASE)
        mode = VIEW_RIDER;
    if (!f.have_viewed_rider && mode != VIEW_EDITOR && mode != VIEW_TITLE)
        mode = VIEW_FREE;
    if (!f.have_track)
        mode = VIEW_TITLE;
    return mode;
}

ViewMode view_after_tab(ViewMode mode, bool editor_enabled)
{
    switch (mode) {
    case VIEW_RIDER: return editor_enabled ? VIEW_EDITOR : VIEW_CHASE;
    case VIEW_CHASE: return VIEW_FREE;
    case VIEW_FREE: return VIEW_RIDER;
    case VIEW_EDITOR: return VIEW_CHASE;
    case VIEW_TITLE: return VIEW_TITLE;
    }
    return mode;
}
