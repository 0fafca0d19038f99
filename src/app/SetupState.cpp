#include "app/SetupState.h"

SetupState& State() {
    static SetupState state;
    return state;
}
