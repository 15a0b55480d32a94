#pragma once
// The handles of every created control in the process. A value that comes from outside the tree (a
// parent argument, a message) is looked up here before anything is read through it.
#include "Forward.h"

class LiveControls {
public:
    static void add(ControlHandle control);
    static void remove(ControlHandle control);
    static bool contains(ControlHandle control);
};
