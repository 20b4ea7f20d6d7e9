#pragma once

class VideoForm;

// What the throughput panel needs of the window that owns it (the main
// window): the video form of the main video pane, whose bound device the
// panel's own test addresses. The owner implements it; the panel finds it by
// casting its owner, so that this folder never includes the main window.
class WIFITestOwner {
public:
    virtual ~WIFITestOwner() = default;
    // The main video pane's current video form; null when the pane has none.
    virtual VideoForm* MainVideoForm() const = 0;
};
