#include "picture/ClientPicks.h"

namespace picture {

ClientPicks& ClientPicks::Shared() {
    static ClientPicks picks;
    return picks;
}

bool ClientPicks::Picked(const std::string& picture) const {
    const std::lock_guard hold(lock_);
    return picked_.count(picture) != 0;
}

void ClientPicks::Set(const std::string& picture, bool picked) {
    const std::lock_guard hold(lock_);
    if (picked) picked_.insert(picture);
    else picked_.erase(picture);
}

}   // namespace picture
