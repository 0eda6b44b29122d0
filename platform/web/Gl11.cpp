// The part of OpenGL 1.1 the show draws with, served over WebGL 1: the matrix stacks,
// immediate mode, interleaved vertex arrays, display lists, two lights with colour
// material, eye-linear texture coordinates and GL_MODULATE texturing. Everything else
// WebGL has already (textures, blending, depth, clearing) passes straight through; the
// emscripten_gl* names are the browser's own calls under the names that are free for
// ours. Lighting is worked out per vertex, as the fixed pipeline does.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "platform/web/WebGl.h"

extern "C" {
void emscripten_glEnable(GLenum cap);
void emscripten_glDisable(GLenum cap);
void emscripten_glDrawArrays(GLenum mode, GLint first, GLsizei count);
void emscripten_glGetIntegerv(GLenum name, GLint* out);
void emscripten_glPixelStorei(GLenum name, GLint value);
void emscripten_glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                             GLsizei height, GLint border, GLenum format, GLenum type,
                             const void* pixels);
void emscripten_glTexParameteri(GLenum target, GLenum name, GLint value);
void emscripten_glClearDepthf(GLfloat depth);
void emscripten_glBindTexture(GLenum target, GLuint texture);
void emscripten_glDeleteTextures(GLsizei count, const GLuint* textures);
void emscripten_glGenBuffers(GLsizei count, GLuint* buffers);
void emscripten_glBindBuffer(GLenum target, GLuint buffer);
void emscripten_glBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage);
GLuint emscripten_glCreateShader(GLenum type);
void emscripten_glShaderSource(GLuint shader, GLsizei count, const GLchar* const* text,
                               const GLint* lengths);
void emscripten_glCompileShader(GLuint shader);
GLuint emscripten_glCreateProgram();
void emscripten_glAttachShader(GLuint program, GLuint shader);
void emscripten_glBindAttribLocation(GLuint program, GLuint index, const GLchar* name);
void emscripten_glLinkProgram(GLuint program);
void emscripten_glUseProgram(GLuint program);
GLint emscripten_glGetUniformLocation(GLuint program, const GLchar* name);
void emscripten_glUniform1i(GLint location, GLint value);
void emscripten_glUniform1iv(GLint location, GLsizei count, const GLint* values);
void emscripten_glUniform2i(GLint location, GLint x, GLint y);
void emscripten_glUniform4fv(GLint location, GLsizei count, const GLfloat* values);
void emscripten_glUniformMatrix4fv(GLint location, GLsizei count, GLboolean transpose,
                                   const GLfloat* values);
void emscripten_glUniformMatrix3fv(GLint location, GLsizei count, GLboolean transpose,
                                   const GLfloat* values);
void emscripten_glVertexAttribPointer(GLuint index, GLint size, GLenum type, GLboolean normalized,
                                      GLsizei stride, const void* offset);
void emscripten_glEnableVertexAttribArray(GLuint index);
void emscripten_glDisableVertexAttribArray(GLuint index);
void emscripten_glVertexAttrib4fv(GLuint index, const GLfloat* values);
}

namespace {

constexpr GLenum ArrayBuffer = 0x8892;
constexpr GLenum StaticDraw = 0x88E4;
constexpr GLenum StreamDraw = 0x88E0;
constexpr GLenum VertexShader = 0x8B31;
constexpr GLenum FragmentShader = 0x8B30;
constexpr GLenum ClampToEdge = 0x812F;
constexpr int LightCount = 2;

struct Matrix {
    float M[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a.M[k * 4 + row] * b.M[column * 4 + k];
            }
            r.M[column * 4 + row] = sum;
        }
    }
    return r;
}

void Transform(const Matrix& m, const float in[4], float out[4]) {
    for (int row = 0; row < 4; ++row) {
        out[row] =
            m.M[row] * in[0] + m.M[4 + row] * in[1] + m.M[8 + row] * in[2] + m.M[12 + row] * in[3];
    }
}

// The inverse transpose of the upper 3 x 3, which carries normals into eye space.
void NormalMatrix(const Matrix& m, float out[9]) {
    const float a = m.M[0], b = m.M[4], c = m.M[8];
    const float d = m.M[1], e = m.M[5], f = m.M[9];
    const float g = m.M[2], h = m.M[6], i = m.M[10];
    const float det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    const float s = det != 0.0f ? 1.0f / det : 0.0f;
    // Column-major, transposed inverse.
    out[0] = (e * i - f * h) * s;
    out[1] = (c * h - b * i) * s;
    out[2] = (b * f - c * e) * s;
    out[3] = (f * g - d * i) * s;
    out[4] = (a * i - c * g) * s;
    out[5] = (c * d - a * f) * s;
    out[6] = (d * h - e * g) * s;
    out[7] = (b * g - a * h) * s;
    out[8] = (a * e - b * d) * s;
    // That is the inverse in row-major order, which read column-major is its transpose.
}

struct Vertex {
    float Position[3];
    float Normal[3];
    float Colour[4];
    float TexCoord[2];
};

// One compiled draw or translation of a display list.
struct ListStep {
    bool Draw = false;
    GLuint Buffer = 0;
    GLenum Mode = GL_TRIANGLES;
    GLsizei Count = 0;
    float Move[3] = {0, 0, 0};
};

struct Light {
    float Ambient[4] = {0, 0, 0, 1};
    float Diffuse[4] = {0, 0, 0, 1};
    float Position[4] = {0, 0, 1, 0};
    bool On = false;
};

struct State {
    std::vector<Matrix> ModelView{Matrix{}};
    std::vector<Matrix> Projection{Matrix{}};
    std::vector<Matrix> TextureMatrix{Matrix{}};
    GLenum MatrixMode = GL_MODELVIEW;
    float Colour[4] = {1, 1, 1, 1};
    float Normal[3] = {0, 0, 1};
    float TexCoord[2] = {0, 0};
    bool Lighting = false;
    bool ColourMaterial = false;
    bool Texture2D = false;
    bool GenS = false;
    bool GenT = false;
    Light Lights[LightCount];
    float SceneAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float MaterialAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float MaterialDiffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float MaterialEmission[4] = {0, 0, 0, 1};
    GLenum BeginMode = 0;
    bool InBegin = false;
    std::vector<Vertex> Immediate;
    // The interleaved array set by glInterleavedArrays (GL_N3F_V3F only).
    const float* Array = nullptr;
    GLsizei ArrayStride = 0;
    std::vector<const float*> ClientStack;
    GLuint ListBase = 0;
    std::vector<GLuint> ListBaseStack;
    GLuint NextList = 1;
    std::map<GLuint, std::vector<ListStep>> Lists;
    GLuint Recording = 0;
    GLuint BoundTexture = 0;
    std::set<GLuint> TexturesWithImage;
    GLint UnpackAlignment = 4;
    GLint PackAlignment = 4;
    GLsizei ProxyWidth = 0;
    GLsizei ProxyHeight = 0;
    GLuint Program = 0;
    GLuint Stream = 0;
    GLint Uniform[16] = {};
};

State* Gl = nullptr;

State& S() {
    if (Gl == nullptr) {
        Gl = new State;
    }
    return *Gl;
}

Matrix& Current() {
    State& s = S();
    if (s.MatrixMode == GL_PROJECTION) {
        return s.Projection.back();
    }
    if (s.MatrixMode == GL_TEXTURE) {
        return s.TextureMatrix.back();
    }
    return s.ModelView.back();
}

std::vector<Matrix>& CurrentStack() {
    State& s = S();
    if (s.MatrixMode == GL_PROJECTION) {
        return s.Projection;
    }
    if (s.MatrixMode == GL_TEXTURE) {
        return s.TextureMatrix;
    }
    return s.ModelView;
}

void MultiplyCurrent(const Matrix& by) {
    Matrix& m = Current();
    m = Multiply(m, by);
}

enum UniformSlot {
    UProjection,
    UModelView,
    UNormalMatrix,
    UTextureMatrix,
    ULighting,
    ULightOn,
    ULightPosition,
    ULightAmbient,
    ULightDiffuse,
    USceneAmbient,
    UMaterial,
    UColourMaterial,
    UTexturing,
    UTexGen,
    USampler,
    USlotCount
};

const char* const UniformNames[USlotCount] = {
    "projection", "modelView",      "normalMatrix", "textureMatrix", "lighting",
    "lightOn",    "lightPos",       "lightAmbient", "lightDiffuse",  "sceneAmbient",
    "material",   "colourMaterial", "texturing",    "texGen",        "sampler"};

const char* const VertexSource = R"(
attribute vec3 position;
attribute vec3 normal;
attribute vec4 colour;
attribute vec2 texCoord;
uniform mat4 projection;
uniform mat4 modelView;
uniform mat3 normalMatrix;
uniform mat4 textureMatrix;
uniform bool lighting;
uniform bool colourMaterial;
uniform bool lightOn[2];
uniform vec4 lightPos[2];
uniform vec4 lightAmbient[2];
uniform vec4 lightDiffuse[2];
uniform vec4 sceneAmbient;
uniform vec4 material[3]; // ambient, diffuse, emission
uniform bvec2 texGen;
varying vec4 shade;
varying vec2 coord;
void main() {
    vec4 eye = modelView * vec4(position, 1.0);
    gl_Position = projection * eye;
    if (lighting) {
        vec4 ambient = colourMaterial ? colour : material[0];
        vec4 diffuse = colourMaterial ? colour : material[1];
        vec3 n = normalMatrix * normal;
        vec3 sum = material[2].rgb + sceneAmbient.rgb * ambient.rgb;
        for (int i = 0; i < 2; ++i) {
            if (lightOn[i]) {
                vec3 l = lightPos[i].w != 0.0 ? normalize(lightPos[i].xyz - eye.xyz)
                                               : normalize(lightPos[i].xyz);
                sum += lightAmbient[i].rgb * ambient.rgb +
                       max(dot(n, l), 0.0) * lightDiffuse[i].rgb * diffuse.rgb;
            }
        }
        shade = clamp(vec4(sum, diffuse.a), 0.0, 1.0);
    } else {
        shade = colour;
    }
    vec4 t = vec4(texCoord, 0.0, 1.0);
    if (texGen.x) { t.x = eye.x; }
    if (texGen.y) { t.y = eye.y; }
    coord = (textureMatrix * t).xy;
}
)";

const char* const FragmentSource = R"(
precision mediump float;
uniform bool texturing;
uniform sampler2D sampler;
varying vec4 shade;
varying vec2 coord;
void main() {
    gl_FragColor = texturing ? shade * texture2D(sampler, coord) : shade;
}
)";

GLuint Compile(GLenum type, const char* source) {
    GLuint shader = emscripten_glCreateShader(type);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    return shader;
}

enum Attribute { APosition, ANormal, AColour, ATexCoord };

void EnsureProgram() {
    State& s = S();
    if (s.Program != 0) {
        return;
    }
    s.Program = emscripten_glCreateProgram();
    emscripten_glAttachShader(s.Program, Compile(VertexShader, VertexSource));
    emscripten_glAttachShader(s.Program, Compile(FragmentShader, FragmentSource));
    emscripten_glBindAttribLocation(s.Program, APosition, "position");
    emscripten_glBindAttribLocation(s.Program, ANormal, "normal");
    emscripten_glBindAttribLocation(s.Program, AColour, "colour");
    emscripten_glBindAttribLocation(s.Program, ATexCoord, "texCoord");
    emscripten_glLinkProgram(s.Program);
    emscripten_glUseProgram(s.Program);
    for (int u = 0; u < USlotCount; ++u) {
        s.Uniform[u] = emscripten_glGetUniformLocation(s.Program, UniformNames[u]);
    }
    emscripten_glGenBuffers(1, &s.Stream);
}

// In GL 1.1 a texture without an image leaves fragments untextured; WebGL would
// sample black from it, so texturing is only on for a texture that has one.
bool Texturing() {
    const State& s = S();
    return s.Texture2D && s.TexturesWithImage.count(s.BoundTexture) != 0;
}

void SetUniforms() {
    State& s = S();
    EnsureProgram();
    emscripten_glUniformMatrix4fv(s.Uniform[UProjection], 1, GL_FALSE, s.Projection.back().M);
    emscripten_glUniformMatrix4fv(s.Uniform[UModelView], 1, GL_FALSE, s.ModelView.back().M);
    emscripten_glUniformMatrix4fv(s.Uniform[UTextureMatrix], 1, GL_FALSE, s.TextureMatrix.back().M);
    emscripten_glUniform1i(s.Uniform[ULighting], s.Lighting ? 1 : 0);
    const bool texturing = Texturing();
    emscripten_glUniform1i(s.Uniform[UTexturing], texturing ? 1 : 0);
    emscripten_glUniform1i(s.Uniform[USampler], 0);
    emscripten_glUniform2i(s.Uniform[UTexGen], s.GenS && texturing ? 1 : 0,
                           s.GenT && texturing ? 1 : 0);
    if (!s.Lighting) {
        return;
    }
    float normals[9];
    NormalMatrix(s.ModelView.back(), normals);
    emscripten_glUniformMatrix3fv(s.Uniform[UNormalMatrix], 1, GL_FALSE, normals);
    GLint on[LightCount];
    float positions[4 * LightCount];
    float ambients[4 * LightCount];
    float diffuses[4 * LightCount];
    for (int i = 0; i < LightCount; ++i) {
        on[i] = s.Lights[i].On ? 1 : 0;
        std::memcpy(positions + 4 * i, s.Lights[i].Position, sizeof(float) * 4);
        std::memcpy(ambients + 4 * i, s.Lights[i].Ambient, sizeof(float) * 4);
        std::memcpy(diffuses + 4 * i, s.Lights[i].Diffuse, sizeof(float) * 4);
    }
    emscripten_glUniform1iv(s.Uniform[ULightOn], LightCount, on);
    emscripten_glUniform4fv(s.Uniform[ULightPosition], LightCount, positions);
    emscripten_glUniform4fv(s.Uniform[ULightAmbient], LightCount, ambients);
    emscripten_glUniform4fv(s.Uniform[ULightDiffuse], LightCount, diffuses);
    emscripten_glUniform4fv(s.Uniform[USceneAmbient], 1, s.SceneAmbient);
    float material[12];
    std::memcpy(material, s.MaterialAmbient, sizeof(float) * 4);
    std::memcpy(material + 4, s.MaterialDiffuse, sizeof(float) * 4);
    std::memcpy(material + 8, s.MaterialEmission, sizeof(float) * 4);
    emscripten_glUniform4fv(s.Uniform[UMaterial], 3, material);
    emscripten_glUniform1i(s.Uniform[UColourMaterial], s.ColourMaterial ? 1 : 0);
}

// Quads become two triangles each; other modes stay as they are.
GLenum Triangulate(GLenum mode, std::vector<Vertex>* vertices) {
    if (mode != GL_QUADS) {
        return mode;
    }
    std::vector<Vertex> out;
    out.reserve(vertices->size() / 4 * 6);
    for (std::size_t q = 0; q + 3 < vertices->size(); q += 4) {
        for (std::size_t k : {q, q + 1, q + 2, q, q + 2, q + 3}) {
            out.push_back((*vertices)[k]);
        }
    }
    vertices->swap(out);
    return GL_TRIANGLES;
}

// Draws full vertices (position, normal, colour, coordinates) from the stream buffer.
void DrawVertices(GLenum mode, std::vector<Vertex>& vertices) {
    mode = Triangulate(mode, &vertices);
    if (vertices.empty()) {
        return;
    }
    State& s = S();
    SetUniforms();
    emscripten_glBindBuffer(ArrayBuffer, s.Stream);
    emscripten_glBufferData(ArrayBuffer, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)),
                            vertices.data(), StreamDraw);
    const auto stride = static_cast<GLsizei>(sizeof(Vertex));
    emscripten_glEnableVertexAttribArray(APosition);
    emscripten_glEnableVertexAttribArray(ANormal);
    emscripten_glEnableVertexAttribArray(AColour);
    emscripten_glEnableVertexAttribArray(ATexCoord);
    emscripten_glVertexAttribPointer(APosition, 3, GL_FLOAT, GL_FALSE, stride,
                                     reinterpret_cast<void*>(offsetof(Vertex, Position)));
    emscripten_glVertexAttribPointer(ANormal, 3, GL_FLOAT, GL_FALSE, stride,
                                     reinterpret_cast<void*>(offsetof(Vertex, Normal)));
    emscripten_glVertexAttribPointer(AColour, 4, GL_FLOAT, GL_FALSE, stride,
                                     reinterpret_cast<void*>(offsetof(Vertex, Colour)));
    emscripten_glVertexAttribPointer(ATexCoord, 2, GL_FLOAT, GL_FALSE, stride,
                                     reinterpret_cast<void*>(offsetof(Vertex, TexCoord)));
    emscripten_glDrawArrays(mode, 0, static_cast<GLsizei>(vertices.size()));
}

// Draws normal + position pairs from a buffer, with the current colour and coordinates.
void DrawNormalPositions(GLuint buffer, GLenum mode, GLsizei count) {
    State& s = S();
    SetUniforms();
    emscripten_glBindBuffer(ArrayBuffer, buffer);
    const auto stride = static_cast<GLsizei>(6 * sizeof(float));
    emscripten_glEnableVertexAttribArray(APosition);
    emscripten_glEnableVertexAttribArray(ANormal);
    emscripten_glDisableVertexAttribArray(AColour);
    emscripten_glDisableVertexAttribArray(ATexCoord);
    emscripten_glVertexAttribPointer(ANormal, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    emscripten_glVertexAttribPointer(APosition, 3, GL_FLOAT, GL_FALSE, stride,
                                     reinterpret_cast<void*>(3 * sizeof(float)));
    emscripten_glVertexAttrib4fv(AColour, s.Colour);
    const float coord[4] = {s.TexCoord[0], s.TexCoord[1], 0.0f, 1.0f};
    emscripten_glVertexAttrib4fv(ATexCoord, coord);
    emscripten_glDrawArrays(mode, 0, count);
}

// The normal + position pairs of an N3F_V3F array, quads made triangles.
std::vector<float> NormalPositions(GLenum mode, GLint first, GLsizei count, GLenum* drawMode) {
    const State& s = S();
    const GLsizei stride = s.ArrayStride != 0 ? s.ArrayStride : 6 * sizeof(float);
    auto at = [&](GLint i) {
        return reinterpret_cast<const float*>(reinterpret_cast<const char*>(s.Array) +
                                              static_cast<std::size_t>(i) * stride);
    };
    std::vector<GLint> order;
    if (mode == GL_QUADS) {
        for (GLint q = 0; q + 3 < count; q += 4) {
            for (GLint k : {q, q + 1, q + 2, q, q + 2, q + 3}) {
                order.push_back(first + k);
            }
        }
        *drawMode = GL_TRIANGLES;
    } else {
        for (GLint k = 0; k < count; ++k) {
            order.push_back(first + k);
        }
        *drawMode = mode;
    }
    std::vector<float> data;
    data.reserve(order.size() * 6);
    for (GLint i : order) {
        const float* v = at(i);
        data.insert(data.end(), v, v + 6);
    }
    return data;
}

void RunList(GLuint list) {
    const auto found = S().Lists.find(list);
    if (found == S().Lists.end()) {
        return;
    }
    for (const ListStep& step : found->second) {
        if (step.Draw) {
            DrawNormalPositions(step.Buffer, step.Mode, step.Count);
        } else {
            glTranslatef(step.Move[0], step.Move[1], step.Move[2]);
        }
    }
}

bool PassedThrough(GLenum cap) {
    return cap == GL_BLEND || cap == GL_DEPTH_TEST || cap == GL_CULL_FACE ||
           cap == GL_SCISSOR_TEST || cap == GL_DITHER || cap == GL_POLYGON_OFFSET_FILL ||
           cap == GL_STENCIL_TEST;
}

void SetCap(GLenum cap, bool on) {
    State& s = S();
    if (PassedThrough(cap)) {
        on ? emscripten_glEnable(cap) : emscripten_glDisable(cap);
        return;
    }
    switch (cap) {
    case GL_LIGHTING:
        s.Lighting = on;
        break;
    case GL_COLOR_MATERIAL:
        s.ColourMaterial = on;
        break;
    case GL_TEXTURE_2D:
        s.Texture2D = on;
        break;
    case GL_TEXTURE_GEN_S:
        s.GenS = on;
        break;
    case GL_TEXTURE_GEN_T:
        s.GenT = on;
        break;
    default:
        if (cap >= GL_LIGHT0 && cap < GL_LIGHT0 + LightCount) {
            s.Lights[cap - GL_LIGHT0].On = on;
        }
        // The rest of GL 1.1's switches (normalising, fog, ...) the show never turns on.
        break;
    }
}

} // namespace

void StartWebGl() {
    delete Gl;
    Gl = new State;
    // Light 0 alone is white by default.
    const float white[4] = {1, 1, 1, 1};
    std::memcpy(S().Lights[0].Diffuse, white, sizeof white);
    EnsureProgram();
}

extern "C" {

void glEnable(GLenum cap) {
    SetCap(cap, true);
}

void glDisable(GLenum cap) {
    SetCap(cap, false);
}

GLboolean glIsEnabled(GLenum cap) {
    const State& s = S();
    switch (cap) {
    case GL_LIGHTING:
        return s.Lighting ? GL_TRUE : GL_FALSE;
    case GL_TEXTURE_2D:
        return s.Texture2D ? GL_TRUE : GL_FALSE;
    default:
        return GL_FALSE;
    }
}

void glShadeModel(GLenum) {
    // Smooth shading is the only kind the shader does.
}

void glClearDepth(GLclampd depth) {
    emscripten_glClearDepthf(static_cast<GLfloat>(depth));
}

void glMatrixMode(GLenum mode) {
    S().MatrixMode = mode;
}

void glLoadIdentity() {
    Current() = Matrix{};
}

void glLoadMatrixf(const GLfloat* m) {
    std::memcpy(Current().M, m, sizeof(float) * 16);
}

void glMultMatrixd(const GLdouble* m) {
    Matrix by;
    for (int i = 0; i < 16; ++i) {
        by.M[i] = static_cast<float>(m[i]);
    }
    MultiplyCurrent(by);
}

void glMultMatrixf(const GLfloat* m) {
    Matrix by;
    std::memcpy(by.M, m, sizeof by.M);
    MultiplyCurrent(by);
}

void glPushMatrix() {
    std::vector<Matrix>& stack = CurrentStack();
    stack.push_back(stack.back());
}

void glPopMatrix() {
    std::vector<Matrix>& stack = CurrentStack();
    if (stack.size() > 1) {
        stack.pop_back();
    }
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    State& s = S();
    if (s.Recording != 0) {
        ListStep step;
        step.Move[0] = x;
        step.Move[1] = y;
        step.Move[2] = z;
        s.Lists[s.Recording].push_back(step);
        return;
    }
    Matrix by;
    by.M[12] = x;
    by.M[13] = y;
    by.M[14] = z;
    MultiplyCurrent(by);
}

void glRotated(GLdouble angle, GLdouble x, GLdouble y, GLdouble z) {
    // As Mesa builds it: from the normalised axis, in double precision.
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0) {
        return;
    }
    x /= length;
    y /= length;
    z /= length;
    const double radians = angle * M_PI / 180.0;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const double t = 1.0 - c;
    const double m[16] = {t * x * x + c,
                          t * x * y + s * z,
                          t * x * z - s * y,
                          0,
                          t * x * y - s * z,
                          t * y * y + c,
                          t * y * z + s * x,
                          0,
                          t * x * z + s * y,
                          t * y * z - s * x,
                          t * z * z + c,
                          0,
                          0,
                          0,
                          0,
                          1};
    glMultMatrixd(m);
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    glRotated(angle, x, y, z);
}

void glGetFloatv(GLenum name, GLfloat* out) {
    const State& s = S();
    if (name == GL_MODELVIEW_MATRIX) {
        std::memcpy(out, s.ModelView.back().M, sizeof(float) * 16);
    } else if (name == GL_PROJECTION_MATRIX) {
        std::memcpy(out, s.Projection.back().M, sizeof(float) * 16);
    } else if (name == GL_CURRENT_COLOR) {
        std::memcpy(out, s.Colour, sizeof s.Colour);
    }
}

void glGetDoublev(GLenum name, GLdouble* out) {
    float values[16] = {};
    glGetFloatv(name, values);
    for (int i = 0; i < 16; ++i) {
        out[i] = values[i];
    }
}

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    float* c = S().Colour;
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = a;
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    glColor4f(r, g, b, 1.0f);
}

void glColor3d(GLdouble r, GLdouble g, GLdouble b) {
    glColor4f(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), 1.0f);
}

void glColor3ub(GLubyte r, GLubyte g, GLubyte b) {
    glColor4f(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
}

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    float* n = S().Normal;
    n[0] = x;
    n[1] = y;
    n[2] = z;
}

void glTexCoord2f(GLfloat s, GLfloat t) {
    S().TexCoord[0] = s;
    S().TexCoord[1] = t;
}

void glBegin(GLenum mode) {
    State& s = S();
    s.InBegin = true;
    s.BeginMode = mode;
    s.Immediate.clear();
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    State& s = S();
    if (!s.InBegin) {
        return;
    }
    Vertex v;
    v.Position[0] = x;
    v.Position[1] = y;
    v.Position[2] = z;
    std::memcpy(v.Normal, s.Normal, sizeof v.Normal);
    std::memcpy(v.Colour, s.Colour, sizeof v.Colour);
    std::memcpy(v.TexCoord, s.TexCoord, sizeof v.TexCoord);
    s.Immediate.push_back(v);
}

void glEnd() {
    State& s = S();
    if (!s.InBegin) {
        return;
    }
    s.InBegin = false;
    DrawVertices(s.BeginMode, s.Immediate);
}

void glLightfv(GLenum light, GLenum name, const GLfloat* values) {
    if (light < GL_LIGHT0 || light >= GL_LIGHT0 + LightCount) {
        return;
    }
    Light& l = S().Lights[light - GL_LIGHT0];
    switch (name) {
    case GL_AMBIENT:
        std::memcpy(l.Ambient, values, sizeof l.Ambient);
        break;
    case GL_DIFFUSE:
        std::memcpy(l.Diffuse, values, sizeof l.Diffuse);
        break;
    case GL_POSITION:
        // Kept in eye space, through the modelview matrix of the moment.
        Transform(S().ModelView.back(), values, l.Position);
        break;
    default:
        break;
    }
}

void glLightModelfv(GLenum name, const GLfloat* values) {
    if (name == GL_LIGHT_MODEL_AMBIENT) {
        std::memcpy(S().SceneAmbient, values, sizeof(float) * 4);
    }
}

void glMaterialfv(GLenum, GLenum name, const GLfloat* values) {
    State& s = S();
    if (name == GL_AMBIENT || name == GL_AMBIENT_AND_DIFFUSE) {
        std::memcpy(s.MaterialAmbient, values, sizeof(float) * 4);
    }
    if (name == GL_DIFFUSE || name == GL_AMBIENT_AND_DIFFUSE) {
        std::memcpy(s.MaterialDiffuse, values, sizeof(float) * 4);
    }
    if (name == GL_EMISSION) {
        std::memcpy(s.MaterialEmission, values, sizeof(float) * 4);
    }
}

void glInterleavedArrays(GLenum format, GLsizei stride, const void* pointer) {
    if (format != GL_N3F_V3F) {
        return;
    }
    S().Array = static_cast<const float*>(pointer);
    S().ArrayStride = stride;
}

void glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    State& s = S();
    if (s.Array == nullptr || count <= 0) {
        return;
    }
    GLenum drawMode = mode;
    std::vector<float> data = NormalPositions(mode, first, count, &drawMode);
    const auto vertices = static_cast<GLsizei>(data.size() / 6);
    if (s.Recording != 0) {
        // A list keeps its own copy of the vertices, in a buffer of their own.
        ListStep step;
        step.Draw = true;
        step.Mode = drawMode;
        step.Count = vertices;
        emscripten_glGenBuffers(1, &step.Buffer);
        emscripten_glBindBuffer(ArrayBuffer, step.Buffer);
        emscripten_glBufferData(ArrayBuffer, static_cast<GLsizeiptr>(data.size() * sizeof(float)),
                                data.data(), StaticDraw);
        s.Lists[s.Recording].push_back(step);
        return;
    }
    EnsureProgram();
    emscripten_glBindBuffer(ArrayBuffer, s.Stream);
    emscripten_glBufferData(ArrayBuffer, static_cast<GLsizeiptr>(data.size() * sizeof(float)),
                            data.data(), StreamDraw);
    DrawNormalPositions(s.Stream, drawMode, vertices);
}

void glPushClientAttrib(GLbitfield) {
    S().ClientStack.push_back(S().Array);
}

void glPopClientAttrib() {
    State& s = S();
    if (!s.ClientStack.empty()) {
        s.Array = s.ClientStack.back();
        s.ClientStack.pop_back();
    }
}

GLuint glGenLists(GLsizei range) {
    State& s = S();
    if (range <= 0) {
        return 0;
    }
    const GLuint first = s.NextList;
    s.NextList += static_cast<GLuint>(range);
    return first;
}

void glNewList(GLuint list, GLenum) {
    State& s = S();
    if (list == 0 || s.Recording != 0) {
        return;
    }
    s.Lists[list].clear();
    s.Recording = list;
}

void glEndList() {
    S().Recording = 0;
}

void glListBase(GLuint base) {
    S().ListBase = base;
}

void glCallList(GLuint list) {
    RunList(list);
}

void glCallLists(GLsizei count, GLenum type, const GLvoid* lists) {
    if (type != GL_UNSIGNED_BYTE || lists == nullptr) {
        return;
    }
    const auto* codes = static_cast<const GLubyte*>(lists);
    for (GLsizei i = 0; i < count; ++i) {
        RunList(S().ListBase + codes[i]);
    }
}

void glPushAttrib(GLbitfield) {
    S().ListBaseStack.push_back(S().ListBase);
}

void glPopAttrib() {
    State& s = S();
    if (!s.ListBaseStack.empty()) {
        s.ListBase = s.ListBaseStack.back();
        s.ListBaseStack.pop_back();
    }
}

void glBindTexture(GLenum target, GLuint texture) {
    S().BoundTexture = texture;
    emscripten_glBindTexture(target, texture);
}

void glDeleteTextures(GLsizei count, const GLuint* textures) {
    for (GLsizei i = 0; i < count; ++i) {
        S().TexturesWithImage.erase(textures[i]);
        if (S().BoundTexture == textures[i]) {
            S().BoundTexture = 0;
        }
    }
    emscripten_glDeleteTextures(count, textures);
}

void glTexParameteri(GLenum target, GLenum name, GLint value) {
    // GL 1.1's clamp has no border to clamp to here; the edge is the nearest thing.
    if (value == GL_CLAMP) {
        value = static_cast<GLint>(ClampToEdge);
    }
    emscripten_glTexParameteri(target, name, value);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels) {
    State& s = S();
    if (target == GL_PROXY_TEXTURE_2D) {
        GLint largest = 0;
        emscripten_glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
        const bool fits = width <= largest && height <= largest && border == 0;
        s.ProxyWidth = fits ? width : 0;
        s.ProxyHeight = fits ? height : 0;
        return;
    }
    (void)internalFormat;
    // WebGL wants the stored format to be the given one.
    emscripten_glTexImage2D(target, level, static_cast<GLint>(format), width, height, border,
                            format, type, pixels);
    if (level == 0) {
        s.TexturesWithImage.insert(s.BoundTexture);
    }
}

// GLU's mipmap builder also knows 1D and 3D textures; the page has only 2D ones.
void glTexImage1D(GLenum, GLint, GLint, GLsizei, GLint, GLenum, GLenum, const void*) {}
void glTexImage3D(GLenum, GLint, GLint, GLsizei, GLsizei, GLsizei, GLint, GLenum, GLenum,
                  const void*) {}

void glGetTexLevelParameteriv(GLenum target, GLint, GLenum name, GLint* out) {
    if (target != GL_PROXY_TEXTURE_2D) {
        *out = 0;
        return;
    }
    *out = name == GL_TEXTURE_WIDTH    ? S().ProxyWidth
           : name == GL_TEXTURE_HEIGHT ? S().ProxyHeight
                                       : 0;
}

void glPixelStorei(GLenum name, GLint value) {
    if (name == GL_UNPACK_ALIGNMENT) {
        S().UnpackAlignment = value;
        emscripten_glPixelStorei(name, value);
    } else if (name == GL_PACK_ALIGNMENT) {
        S().PackAlignment = value;
        emscripten_glPixelStorei(name, value);
    }
    // Row lengths and skips stay at 0: WebGL 1 has none, and GLU only sets them to 0.
}

void glGetIntegerv(GLenum name, GLint* out) {
    switch (name) {
    case GL_UNPACK_ALIGNMENT:
        *out = S().UnpackAlignment;
        return;
    case GL_PACK_ALIGNMENT:
        *out = S().PackAlignment;
        return;
    case GL_UNPACK_ROW_LENGTH:
    case GL_UNPACK_SKIP_ROWS:
    case GL_UNPACK_SKIP_PIXELS:
    case GL_UNPACK_LSB_FIRST:
    case GL_UNPACK_SWAP_BYTES:
    case GL_PACK_ROW_LENGTH:
    case GL_PACK_SKIP_ROWS:
    case GL_PACK_SKIP_PIXELS:
    case GL_PACK_LSB_FIRST:
    case GL_PACK_SWAP_BYTES:
        *out = 0;
        return;
    case GL_MATRIX_MODE:
        *out = static_cast<GLint>(S().MatrixMode);
        return;
    case GL_LIST_BASE:
        *out = static_cast<GLint>(S().ListBase);
        return;
    case GL_TEXTURE_BINDING_2D:
        *out = static_cast<GLint>(S().BoundTexture);
        return;
    default:
        emscripten_glGetIntegerv(name, out);
        return;
    }
}

} // extern "C"

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    // As GLU builds it.
    const double radians = fovy / 2 * M_PI / 180;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) {
        return;
    }
    const double cotangent = std::cos(radians) / sine;
    double m[16] = {};
    m[0] = cotangent / aspect;
    m[5] = cotangent;
    m[10] = -(zFar + zNear) / deltaZ;
    m[11] = -1;
    m[14] = -2 * zNear * zFar / deltaZ;
    glMultMatrixd(m);
}
