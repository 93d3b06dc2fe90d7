// The GLSL programs (normal and mirrored) and their per-pass selection.
// Until they are built (InitShaders), shadersActive stays 0 and the scene
// draws with the fixed-function light. The sources are text files beside
// the program: one vertex shader for both programs and a plain or a bump
// fragment shader.
#pragma once
#include "base/base.h"

// Sources, under the program directory.
#define SHADER_VERTEX_FILE "data/clay_vs_flat.gls"
#define SHADER_PLAIN_FILE "data/clay_fs_flat.gls"
#define SHADER_BUMP_FILE "data/clay_fs_flat_bump.gls"

// ---- written by InitShaders (the objects only by a build that linked)
extern const char* extensionString;  // GL_EXTENSIONS, fetched at the start of every build
extern u32 vertexShader;             // vertex shader of normalProgram
extern u32 mirrorVertexShader;       // vertex shader of mirrorProgram (same source)
extern u32 fragmentShader;           // shared by both programs: plain or bump
extern u32 normalProgram;            // draws the stored half
extern u32 mirrorProgram;            // draws the mirrored half
extern u8 shadersActive;             // 1 once both programs have linked; never cleared
// ---- written by BindShaderProgram
extern u32 currentProgram;  // program of the pass being drawn; stays 0 until the programs exist

// Builds both programs with the plain (bump 0) or the bump fragment shader.
// Logs its progress; leaves the log unmuted (the caller mutes it again). A
// failed build keeps the previous programs and shadersActive as they were.
bool InitShaders(u8 bump);
// Selects and parameterises the program for a pass; nothing without shadersActive.
void BindShaderProgram(u8 mirrored);

// ---- the steps of a build
// All four shader extensions named in extensionString.
bool HasShaderExtensions();
// Creates a shader object of `kind` (GL_VERTEX_SHADER_ARB or
// GL_FRAGMENT_SHADER_ARB) into *handle, then compiles the file's text.
bool CompileShaderFile(const char* path, u32 kind, u32* handle);
bool LinkShaderProgram(u32 program);
// The object's compiler or linker messages, as one log line.
void PrintInfoLog(u32 object);
// The whole file with a terminating zero, or null (missing, unreadable or
// implausibly large). The caller frees it with free().
char* ReadTextFile(const char* path);
