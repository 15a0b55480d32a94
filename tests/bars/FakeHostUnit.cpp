// The controls' fake host, built into this program too.
#include "../controls/FakeHost.cpp"
