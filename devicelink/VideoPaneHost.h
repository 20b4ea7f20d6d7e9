#pragma once

// What the video pane needs of the window that owns it (the main video
// window). The owner implements it; the pane finds it through its parent, so
// that this folder never includes the manual-testing panels.
class VideoPaneHost {
public:
    virtual ~VideoPaneHost() = default;
    // True while the owner is shown full screen.
    virtual bool IsFullScreen() const = 0;
    // Brings the manual result panel to the top without moving it.
    virtual void ShowResultPanelOnTop() = 0;
};
