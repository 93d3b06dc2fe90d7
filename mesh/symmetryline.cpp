// Pins the changed mirror-line vertices of the workset back onto x = 0.
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"

void EnforceSymmetryLine() {
    ProfileBegin(PROF_ENFORCESYMMETRYLINE);
    const SlotList& list = workset.vertices;
    for (i32 i = 0; i < list.count; i++) {
        Vertex& v = vertices[list.items[i]];
        if (!v.active || !v.changed || !v.onMirrorLine) continue;
        v.position.x = 0;
        v.refPosition.x = 0;
        v.normal.x = 0;
        v.normal.Normalize();
    }
    ProfileEnd();
}

void SetSymmetry(u8 on) {
    if (on) {
        LogBeginVerbose(0);
        LogPrint("*** symmetric editing is not available yet, staying off");
    }
    symmetry = 0;
    meshChanged = arraysDirty = fullRebuild = 1;
    UpdateWorkset();
    UpdateNormals();
    StoreRestState();
}

void ReapplySymmetry() {
    u8 wanted = symmetry;
    symmetry = 0;
    SetSymmetry(wanted);
}
