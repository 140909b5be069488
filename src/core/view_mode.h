// Which view the frame draws and which inputs apply.
#pragma once

enum ViewMode {
    VIEW_RIDER,   // the scene from the viewed rider, instruments, HUD
    VIEW_CHASE,   // the chase camera, instruments, HUD
    VIEW_FREE,    // the free-flying camera, HUD
    VIEW_EDITOR,  // the track editor
    VIEW_TITLE,   // the loading screen; no track
};

// What the frame's first step knows about the world.
struct ViewFacts {
    bool have_track;
    bool have_viewed_rider;   // the viewed slot has a bike
    bool viewed_is_player;    // ...ridden by the local player
};

// The frame's settling step: title view gives way to rider view once a
// track exists; the player's own rider is seen only from the rider or the
// chase camera outside the editor; no rider means free view, no track
// title view.
ViewMode view_settle(ViewMode mode, const ViewFacts& facts);

// Tab: rider -> editor (with "--editor") or chase -> free -> rider;
// editor -> chase; title stays.
ViewMode view_after_tab(ViewMode mode, bool editor_enabled);
