#include "app/GameSettings.h"

namespace vestrel {

GameSettings& GameSettings::instance() {
    static GameSettings settings;
    return settings;
}

}  // namespace vestrel
