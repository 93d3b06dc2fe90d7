#include "mesh_fixture.h"
