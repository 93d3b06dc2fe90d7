// Shader programs: loading the optional entry points, compiling and linking
// the two programs from the text files, and selecting one per pass with its
// uniforms. Owns every global of render/shaders.h.
//
// A rebuild (the bump toggle) makes a complete new set of objects and swaps
// it in only when both programs linked: a broken file then leaves the
// drawing as it was instead of selecting a half-built program.
#include "render/shaders.h"
#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include "base/log.h"
#include "render/glext.h"

const char* extensionString;
u32 vertexShader, mirrorVertexShader, fragmentShader;
u32 normalProgram, mirrorProgram;
u8 shadersActive;
u32 currentProgram;

// No shader source comes anywhere near this; a larger file is not one.
enum { MAX_SHADER_FILE = 1 << 20 };

// One build's objects, in the order they are made.
struct ShaderSet {
    u32 vertex, mirrorVertex, fragment, normal, mirror;
};

// ================================================================ files and objects

char* ReadTextFile(const char* path) {
    FILE* f = fopen(path, "rb");
    if (!f) return nullptr;
    char* text = nullptr;
    long size = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    if (size >= 0 && size <= MAX_SHADER_FILE && fseek(f, 0, SEEK_SET) == 0) {
        text = (char*)malloc((size_t)size + 1);
        if (text && fread(text, 1, (size_t)size, f) != (size_t)size) {
            free(text);
            text = nullptr;
        }
        if (text) text[size] = 0;
    }
    fclose(f);
    return text;
}

void PrintInfoLog(u32 object) {
    GLint length = 0;
    arb::glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length < 2) return;
    char* text = (char*)malloc((size_t)length);
    if (!text) return;
    arb::glGetInfoLogARB(object, length, nullptr, text);
    LogPrint("compiler_log: %s", text);
    free(text);
}

bool CompileShaderFile(const char* path, u32 kind, u32* handle) {
    *handle = arb::glCreateShaderObjectARB(kind);
    char* text = ReadTextFile(path);
    if (!text) {
        LogPrint("*** shader source missing or unreadable: %s", path);
        return false;
    }
    const GLcharARB* source = text;
    GLint length = (GLint)strlen(text);
    arb::glShaderSourceARB(*handle, 1, &source, &length);
    free(text);
    arb::glCompileShaderARB(*handle);
    GLint compiled = 0;
    arb::glGetObjectParameterivARB(*handle, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    if (compiled) return true;
    LogPrint("*** Shader compilation error");
    PrintInfoLog(*handle);
    return false;
}

bool LinkShaderProgram(u32 program) {
    arb::glLinkProgramARB(program);
    GLint linked = 0;
    arb::glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (linked) return true;
    // The sources compiled but do not fit together (a varying or an entry
    // point missing): say so, or the log would end in mid-line.
    LogPrint("*** Shader link error");
    PrintInfoLog(program);
    return false;
}

bool HasShaderExtensions() {
    const char* names[] = {"GL_ARB_vertex_shader", "GL_ARB_fragment_shader", "GL_ARB_shader_object",
                           "GL_ARB_shading_language_100"};
    if (!extensionString) return false;
    for (const char* name : names)
        if (!strstr(extensionString, name)) return false;
    return true;
}

// Deleting a program still in use only marks it; GL frees it when unused.
static void DeleteShaderSet(const ShaderSet& set) {
    for (u32 object : {set.normal, set.mirror, set.vertex, set.mirrorVertex, set.fragment})
        if (object) arb::glDeleteObjectARB(object);
}

// ================================================================ building

static bool CompileShaderSet(u8 bump, ShaderSet& set) {
    // AppPath's buffer is overwritten by the next call: each path is used at once.
    if (!CompileShaderFile(AppPath(SHADER_VERTEX_FILE), GL_VERTEX_SHADER_ARB, &set.vertex))
        return false;
    if (!CompileShaderFile(AppPath(SHADER_VERTEX_FILE), GL_VERTEX_SHADER_ARB, &set.mirrorVertex))
        return false;
    const char* fragment = bump ? SHADER_BUMP_FILE : SHADER_PLAIN_FILE;
    return CompileShaderFile(AppPath(fragment), GL_FRAGMENT_SHADER_ARB, &set.fragment);
}

static bool LinkShaderSet(ShaderSet& set) {
    set.normal = arb::glCreateProgramObjectARB();
    arb::glAttachObjectARB(set.normal, set.vertex);
    arb::glAttachObjectARB(set.normal, set.fragment);
    if (!LinkShaderProgram(set.normal)) return false;
    set.mirror = arb::glCreateProgramObjectARB();
    arb::glAttachObjectARB(set.mirror, set.mirrorVertex);
    arb::glAttachObjectARB(set.mirror, set.fragment);
    return LinkShaderProgram(set.mirror);
}

// Compiles and links a new set; on failure nothing of it survives.
static bool BuildShaderSet(u8 bump, ShaderSet& set) {
    LogPrintNoNewline("Loading shaders...");
    bool ok = CompileShaderSet(bump, set);
    if (ok) {
        LogPrint(" Success");
        LogPrintNoNewline("Linking shaders...");
        ok = LinkShaderSet(set);
    }
    if (!ok) DeleteShaderSet(set);
    return ok;
}

bool InitShaders(u8 bump) {
    LogBeginVerbose(0);
    extensionString = (const char*)glGetString(GL_EXTENSIONS);
    if (!LoadMultitextureExtensions()) {
        LogPrint("Failed to init multitexturing");
        return false;
    }
    if (!LoadShaderExtensions()) {
        LogPrint("Failed to init shader extensions");
        return false;
    }
    LogPrintNoNewline("Initializing GLSL...");
    if (!HasShaderExtensions()) return false;
    LogPrint(" Success");
    ShaderSet set = {};
    if (!BuildShaderSet(bump, set)) return false;
    LogPrint(" Success");
    LogPrint("Shaders are go!");
    if (shadersActive)
        DeleteShaderSet(
            {vertexShader, mirrorVertexShader, fragmentShader, normalProgram, mirrorProgram});
    vertexShader = set.vertex;
    mirrorVertexShader = set.mirrorVertex;
    fragmentShader = set.fragment;
    normalProgram = set.normal;
    mirrorProgram = set.mirror;
    shadersActive = 1;
    return true;
}

// ================================================================ per pass

// A program that does not declare a uniform gets location -1, which GL
// ignores when set: the log says so, and drawing goes on.
static GLint UniformLocation(const char* name) {
    GLint location = arb::glGetUniformLocationARB(currentProgram, name);
    if (location == -1) LogPrint("Unfound variable \"%s\"", name);
    return location;
}

static void SetUniform(const char* name, Vec3 v) {
    arb::glUniform3fARB(UniformLocation(name), v.x, v.y, v.z);
}

// The lights are model-space directions. The mirrored pass draws with an
// x scale of -1, so its lights are mirrored too: both halves then show one
// light, as a whole sculpture would.
void BindShaderProgram(u8 mirrored) {
    if (!shadersActive) return;
    currentProgram = mirrored ? mirrorProgram : normalProgram;
    arb::glUseProgramObjectARB(currentProgram);
    Vec3 light1 = Normalized({0, 1.0f, -0.3f}), light2 = Normalized({1.0f, 0, 0.5f});
    if (mirrored) light1.x = -light1.x, light2.x = -light2.x;
    SetUniform("light1_dir", light1);
    SetUniform("light2_dir", light2);
    SetUniform("observer_pos", {0, 0, 0});
    arb::glUniform1fARB(UniformLocation("object_invscale"), 0.01f);
    arb::glUniform1iARB(UniformLocation("materialtex"), 0);  // unit 0: the material
    arb::glUniform1iARB(UniformLocation("normaltex"), 1);    // unit 1: the noise map
    arb::glUniform1iARB(UniformLocation("colortex"), 2);     // unit 2: nothing bound, reads black
}
