// Watching how a map was won: the map plays from its start with a replay
// driving the player, input closed to the map and the camera free, and ends
// on a short panel. Nothing of it counts: no score, rating, play report,
// usage event or saved state comes from watching.
#pragma once

#include <string>

#include "engine.h"
#include "game.h"
#include "gui.h"

// The one-line warning before watching, as a dialog named "watch-ask" in
// gui: Watch answers MENU_WATCH_GO, Cancel MENU_NO.
void watch_confirm(Container& gui);
// Watches the map in game._edit played by the Base64 replay b64; leaving
// returns to the screen `back`.
void watch_open(Game& game, const std::string& b64, int back);
// The same for a map of the online lists: its replay is fetched first.
void watch_open_online(Game& game, int back);

class Watch : public Screen {
public:
    using Screen::Screen;
    void init() override;
    void deinit() override;
    void paint() override;
    void event(Event e) override;
    void loop() override;
    bool still() const override { return false; }
};
