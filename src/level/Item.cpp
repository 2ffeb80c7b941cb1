#include "level/Item.h"

#include <utility>

namespace vestrel {

Item::Item(GameObject* itemObject, std::string itemName) : object(itemObject), name(std::move(itemName)) {}

Item::~Item() = default;

}  // namespace vestrel
