#pragma once

namespace vardex {
class Preferences;
class VardexStore;
}  // namespace vardex

namespace vardex::ui {

class HelperModel;
class StoreWatcher;

// What every screen is built with: the store it reads and drives, the watcher that tells it to
// redraw, the preferences (helper switch, "talkPreview") and the helper cards' model. All of it
// is built in main and outlives every screen.
struct ScreenContext {
    VardexStore& store;
    StoreWatcher& watcher;
    Preferences& preferences;
    HelperModel& helperModel;
};

}  // namespace vardex::ui
