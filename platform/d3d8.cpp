// The Direct3D-shaped device on fixed-function OpenGL. Every state the engine sets is kept in
// shadow tables; changes are only marked, and a draw sends what changed to GL. Buffers and
// texture images live in system memory; GL copies them at draw or unlock time.
//
// Sections: objects and registry / faults and call log / GL entry points / IDirect3D8 /
// state application / device methods / buffers / textures / surfaces / test hooks.
//
// Behaviour kept from the device the engine was written for, where GL differs:
// row-vector matrices; clip depth 0..w; culling by on-screen winding; pre-transformed
// vertices bypass transform and lighting; a stage whose texture is missing samples white;
// lights are fixed in world space; Clear ignores the write masks; the material power is
// clamped to GL's 128; point sampling with wrap by default; surfaces read top row first.

#include "platform/d3d8.h"
#include "platform/d3d8_debug.h"
#include "platform/plat_window.h"

#include <SDL2/SDL.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <cstring>


// ---------------------------------------------------------------------------------------
// Objects and registry
// ---------------------------------------------------------------------------------------

struct d3d8_device;

enum surface_kind { SURFACE_BACKBUFFER, SURFACE_IMPLICIT_DEPTH, SURFACE_TARGET, SURFACE_DEPTH };

struct d3d8_object {
    d3d8_object* next; // every created buffer, texture and surface, for unbinding and counting
    d3d8_object* previous;
    d3d8_kind kind;
    uint32_t refs;
    D3DPOOL pool;
    d3d8_device* device; // null once the device has gone
};

struct d3d8_vb {
    IDirect3DVertexBuffer8 iface;
    d3d8_object obj;
    uint32_t length, usage, fvf;
    BYTE* data;
    bool locked;
};

struct d3d8_ib {
    IDirect3DIndexBuffer8 iface;
    d3d8_object obj;
    uint32_t length, usage, format;
    BYTE* data;
    bool locked;
};

struct d3d8_tex {
    IDirect3DTexture8 iface;
    d3d8_object obj;
    uint32_t width, height, levels, usage, format;
    uint32_t pitch; // bytes per row of the system copy of level 0
    BYTE* data;     // level 0
    BYTE* spare;    // scratch for locks of the smaller levels, which are never sampled
    GLuint name;
    bool locked;
    GLint mag, min, wrap_s, wrap_t; // sampler values last given to GL
};

struct d3d8_surface {
    IDirect3DSurface8 iface;
    d3d8_object obj;
    surface_kind skind;
    uint32_t width, height, format;
    GLuint name; // texture (targets) or renderbuffer (depth)
    BYTE* lock_data;
    uint32_t lock_flags;
};

struct d3d8_d3d {
    IDirect3D8 iface;
    uint32_t refs;
};

enum { DIRTY_RASTER = 1, DIRTY_STAGES = 2, DIRTY_TRANSFORM = 4, DIRTY_LIGHTS = 8, DIRTY_MATERIAL = 16 };
enum { MODE_NONE, MODE_2D, MODE_3D };

struct d3d8_device {
    IDirect3DDevice8 iface;
    uint32_t refs;
    SDL_Window* window;
    SDL_GLContext context;
    bool own_context;
    D3DPRESENT_PARAMETERS params;
    uint32_t target_width, target_height; // the back buffer's size
    DWORD rs[D3DRS_COUNT];
    DWORD tss[D3D_STAGES][D3DTSS_COUNT];
    d3d8_tex* textures[D3D_STAGES];
    D3DMATRIX world, view, projection;
    D3DMATERIAL8 material;
    D3DLIGHT8 lights[8];
    BOOL light_on[8];
    d3d8_vb* stream;
    uint32_t stride;
    uint32_t fvf;
    d3d8_ib* indices;
    uint32_t base_vertex;
    D3DVIEWPORT8 viewport;
    bool in_scene;
    uint32_t dirty;
    int mode;          // the transform set GL holds: 2D or 3D
    int coord_units;   // texture units whose coordinate arrays the last draw set up
    float shininess;   // the power last given to GL
    d3d8_surface* backbuffer;
    d3d8_surface* implicit_depth;
    d3d8_surface* target; // current render target and depth surface
    d3d8_surface* depth;
    GLuint fbo, read_fbo;
    GLuint white;         // 1x1 white texture for stages whose texture is missing
    d3d8_object objects;  // sentinel of the object ring
};

static d3d8_device* current_device; // one device at a time: GL state is per context
static uint32_t texture_pitch_pad;

static void object_link(d3d8_device* dev, d3d8_object* o, d3d8_kind kind, D3DPOOL pool)
{
    o->kind = kind;
    o->refs = 1;
    o->pool = pool;
    o->device = dev;
    o->next = dev->objects.next;
    o->previous = &dev->objects;
    dev->objects.next->previous = o;
    dev->objects.next = o;
}

static void object_unlink(d3d8_object* o)
{
    if (o->next) {
        o->next->previous = o->previous;
        o->previous->next = o->next;
    }
    o->next = o->previous = nullptr;
}

// ---------------------------------------------------------------------------------------
// Faults and call log
// ---------------------------------------------------------------------------------------

struct fault {
    HRESULT result;
    uint32_t skip;
    uint32_t count;
    bool armed;
};
static fault faults[D3D8_CALL_COUNT];
static bool any_fault;
static bool log_on;
static uint32_t log_total;
static d3d8_record log_records[D3D8_LOG_SIZE];

static const char* const call_names[] = {
#define D3D8_CALL_NAME(name) #name,
    D3D8_CALLS(D3D8_CALL_NAME)
#undef D3D8_CALL_NAME
};

const char* d3d8_call_name(d3d8_call call)
{
    return (unsigned)call < D3D8_CALL_COUNT ? call_names[call] : "?";
}

void d3d8_fault_set(d3d8_call call, HRESULT result, uint32_t skip, uint32_t count)
{
    if ((unsigned)call >= D3D8_CALL_COUNT || call == D3D8_CALL_Release)
        return;
    faults[call] = {result, skip, count, true};
    any_fault = true;
}

void d3d8_fault_clear(void)
{
    memset(faults, 0, sizeof(faults));
    any_fault = false;
}

// True when this call is to fail, with its result in *hr.
static bool fault_hit(d3d8_call call, HRESULT* hr)
{
    if (!any_fault)
        return false;
    fault* f = &faults[call];
    if (!f->armed)
        return false;
    if (f->skip) {
        f->skip--;
        return false;
    }
    *hr = f->result;
    if (f->count && --f->count == 0)
        f->armed = false;
    return true;
}

static HRESULT record(d3d8_call call, HRESULT hr, uint32_t a0 = 0, uint32_t a1 = 0, uint32_t a2 = 0,
                      uint32_t a3 = 0, uint32_t a4 = 0, uint32_t a5 = 0)
{
    if (log_on) {
        if (log_total < D3D8_LOG_SIZE)
            log_records[log_total] = {call, {a0, a1, a2, a3, a4, a5}, hr};
        log_total++;
    }
    return hr;
}

static uint32_t fbits(float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}

static float bitsf(DWORD u)
{
    float f;
    memcpy(&f, &u, 4);
    return f;
}

static uint32_t ptr_flag(const void* p) { return p ? 1u : 0u; }

void d3d8_log_start(void)
{
    log_total = 0;
    log_on = true;
}

void d3d8_log_stop(void) { log_on = false; }

uint32_t d3d8_log_count(void) { return log_total < D3D8_LOG_SIZE ? log_total : D3D8_LOG_SIZE; }

const d3d8_record* d3d8_log_get(uint32_t index)
{
    return index < d3d8_log_count() ? &log_records[index] : nullptr;
}

uint32_t d3d8_log_count_of(d3d8_call call)
{
    uint32_t n = 0;
    for (uint32_t i = 0; i < d3d8_log_count(); i++)
        n += log_records[i].call == call;
    return n;
}

int32_t d3d8_log_find(d3d8_call call, uint32_t from)
{
    for (uint32_t i = from; i < d3d8_log_count(); i++)
        if (log_records[i].call == call)
            return (int32_t)i;
    return -1;
}

// ---------------------------------------------------------------------------------------
// GL entry points beyond 1.1, loaded once a context exists
// ---------------------------------------------------------------------------------------

static PFNGLACTIVETEXTUREPROC p_glActiveTexture;
static void (*p_glClientActiveTexture)(GLenum unit);
static PFNGLBLENDEQUATIONPROC p_glBlendEquation;
static PFNGLGENFRAMEBUFFERSPROC p_glGenFramebuffers;
static PFNGLDELETEFRAMEBUFFERSPROC p_glDeleteFramebuffers;
static PFNGLBINDFRAMEBUFFERPROC p_glBindFramebuffer;
static PFNGLFRAMEBUFFERTEXTURE2DPROC p_glFramebufferTexture2D;
static PFNGLFRAMEBUFFERRENDERBUFFERPROC p_glFramebufferRenderbuffer;
static PFNGLCHECKFRAMEBUFFERSTATUSPROC p_glCheckFramebufferStatus;
static PFNGLGENRENDERBUFFERSPROC p_glGenRenderbuffers;
static PFNGLDELETERENDERBUFFERSPROC p_glDeleteRenderbuffers;
static PFNGLBINDRENDERBUFFERPROC p_glBindRenderbuffer;
static PFNGLRENDERBUFFERSTORAGEPROC p_glRenderbufferStorage;

template <typename T> static bool load(T* fn, const char* name)
{
    *fn = (T)SDL_GL_GetProcAddress(name);
    return *fn != nullptr;
}

static bool gl_load(void)
{
    return load(&p_glActiveTexture, "glActiveTexture") && load(&p_glClientActiveTexture, "glClientActiveTexture") &&
           load(&p_glBlendEquation, "glBlendEquation") && load(&p_glGenFramebuffers, "glGenFramebuffers") &&
           load(&p_glDeleteFramebuffers, "glDeleteFramebuffers") && load(&p_glBindFramebuffer, "glBindFramebuffer") &&
           load(&p_glFramebufferTexture2D, "glFramebufferTexture2D") &&
           load(&p_glFramebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           load(&p_glCheckFramebufferStatus, "glCheckFramebufferStatus") &&
           load(&p_glGenRenderbuffers, "glGenRenderbuffers") &&
           load(&p_glDeleteRenderbuffers, "glDeleteRenderbuffers") &&
           load(&p_glBindRenderbuffer, "glBindRenderbuffer") &&
           load(&p_glRenderbufferStorage, "glRenderbufferStorage");
}

// ---------------------------------------------------------------------------------------
// IDirect3D8
// ---------------------------------------------------------------------------------------

static d3d8_device* device_create(HWND focus, D3DPRESENT_PARAMETERS* params, HRESULT* hr);

static ULONG d3d_addref(IDirect3D8* self) { return ++((d3d8_d3d*)self)->refs; }

static ULONG d3d_release(IDirect3D8* self)
{
    d3d8_d3d* d = (d3d8_d3d*)self;
    record(D3D8_CALL_Release, 0, D3D8_KIND_D3D);
    if (--d->refs)
        return d->refs;
    free(d);
    return 0;
}

static HRESULT d3d_get_adapter_display_mode(IDirect3D8* self, UINT adapter, D3DDISPLAYMODE* mode)
{
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_GetAdapterDisplayMode, &hr))
        return record(D3D8_CALL_GetAdapterDisplayMode, hr, adapter);
    SDL_DisplayMode dm;
    if (!mode || adapter != D3DADAPTER_DEFAULT)
        hr = D3DERR_INVALIDCALL;
    else if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(0, &dm) != 0)
        hr = D3DERR_NOTAVAILABLE;
    else {
        mode->Width = (UINT)dm.w;
        mode->Height = (UINT)dm.h;
        mode->RefreshRate = (UINT)dm.refresh_rate;
        mode->Format = D3DFMT_X8R8G8B8;
    }
    return record(D3D8_CALL_GetAdapterDisplayMode, hr, adapter);
}

static HRESULT d3d_create_device(IDirect3D8* self, UINT adapter, D3DDEVTYPE type, HWND focus, DWORD behaviour,
                                 D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** out)
{
    HRESULT hr = D3D_OK;
    uint32_t windowed = params ? (uint32_t)params->Windowed : 0;
    if (out)
        *out = nullptr;
    if (fault_hit(D3D8_CALL_CreateDevice, &hr))
        return record(D3D8_CALL_CreateDevice, hr, adapter, type, behaviour, windowed, ptr_flag(focus));
    if (!out || !params || adapter != D3DADAPTER_DEFAULT || type < D3DDEVTYPE_HAL || type > D3DDEVTYPE_SW)
        hr = D3DERR_INVALIDCALL;
    else if (current_device)
        hr = D3DERR_NOTAVAILABLE;
    else {
        d3d8_device* dev = device_create(focus, params, &hr);
        if (dev)
            *out = &dev->iface;
    }
    return record(D3D8_CALL_CreateDevice, hr, adapter, type, behaviour, windowed, ptr_flag(focus));
}

static const IDirect3D8Vtbl d3d_vtbl = {d3d_addref, d3d_release, d3d_get_adapter_display_mode, d3d_create_device};

IDirect3D8* Direct3DCreate8(UINT sdk_version)
{
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_Direct3DCreate8, &hr) || sdk_version != D3D_SDK_VERSION) {
        record(D3D8_CALL_Direct3DCreate8, hr ? hr : D3DERR_INVALIDCALL, sdk_version);
        return nullptr;
    }
    d3d8_d3d* d = (d3d8_d3d*)calloc(1, sizeof(d3d8_d3d));
    if (!d)
        return nullptr;
    d->iface.lpVtbl = &d3d_vtbl;
    d->refs = 1;
    record(D3D8_CALL_Direct3DCreate8, D3D_OK, sdk_version);
    return &d->iface;
}

// ---------------------------------------------------------------------------------------
// State application: what a draw sends to GL
// ---------------------------------------------------------------------------------------

static const D3DMATRIX identity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

static GLenum gl_compare(DWORD f)
{
    static const GLenum map[] = {GL_ALWAYS, GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL,
                                 GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return f <= 8 ? map[f] : GL_ALWAYS;
}

static GLenum gl_blend(DWORD b)
{
    static const GLenum map[] = {GL_ONE, GL_ZERO, GL_ONE, GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR,
                                 GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA,
                                 GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR, GL_SRC_ALPHA_SATURATE};
    return b <= 11 ? map[b] : GL_ONE;
}

static GLenum gl_blend_op(DWORD op)
{
    static const GLenum map[] = {GL_FUNC_ADD, GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN,
                                 GL_MAX};
    return op <= 5 ? map[op] : GL_FUNC_ADD;
}

static void gl_enable(GLenum cap, bool on)
{
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

static void apply_masks(d3d8_device* dev)
{
    DWORD cw = dev->rs[D3DRS_COLORWRITEENABLE];
    glColorMask((cw & 1) != 0, (cw & 2) != 0, (cw & 4) != 0, (cw & 8) != 0);
    glDepthMask(dev->rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
}

static void apply_raster(d3d8_device* dev)
{
    const DWORD* rs = dev->rs;
    gl_enable(GL_DEPTH_TEST, rs[D3DRS_ZENABLE] != D3DZB_FALSE);
    glDepthFunc(gl_compare(rs[D3DRS_ZFUNC]));
    apply_masks(dev);
    gl_enable(GL_BLEND, rs[D3DRS_ALPHABLENDENABLE] != 0);
    glBlendFunc(gl_blend(rs[D3DRS_SRCBLEND]), gl_blend(rs[D3DRS_DESTBLEND]));
    p_glBlendEquation(gl_blend_op(rs[D3DRS_BLENDOP]));
    gl_enable(GL_ALPHA_TEST, rs[D3DRS_ALPHATESTENABLE] != 0);
    glAlphaFunc(gl_compare(rs[D3DRS_ALPHAFUNC]), (float)(rs[D3DRS_ALPHAREF] & 0xff) / 255.0f);
    // Culling is by the winding seen on screen; GL's window y runs up, which keeps that sense.
    DWORD cull = rs[D3DRS_CULLMODE];
    gl_enable(GL_CULL_FACE, cull == D3DCULL_CW || cull == D3DCULL_CCW);
    glCullFace(GL_BACK);
    glFrontFace(cull == D3DCULL_CCW ? GL_CW : GL_CCW);
    DWORD fill = rs[D3DRS_FILLMODE];
    glPolygonMode(GL_FRONT_AND_BACK, fill == D3DFILL_POINT ? GL_POINT : fill == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
    glShadeModel(rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);
    float ambient[4] = {((rs[D3DRS_AMBIENT] >> 16) & 0xff) / 255.0f, ((rs[D3DRS_AMBIENT] >> 8) & 0xff) / 255.0f,
                        (rs[D3DRS_AMBIENT] & 0xff) / 255.0f, ((rs[D3DRS_AMBIENT] >> 24) & 0xff) / 255.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, rs[D3DRS_LOCALVIEWER] ? 1 : 0);
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    gl_enable(GL_NORMALIZE, rs[D3DRS_NORMALIZENORMALS] != 0);
    glPointSize(bitsf(rs[D3DRS_POINTSIZE]) > 0 ? bitsf(rs[D3DRS_POINTSIZE]) : 1.0f);
    dev->dirty |= DIRTY_MATERIAL; // the specular switch acts through the material
}

static void apply_material(d3d8_device* dev)
{
    const D3DMATERIAL8* m = &dev->material;
    static const float black[4] = {0, 0, 0, 0};
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &m->Diffuse.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &m->Ambient.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &m->Emissive.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, dev->rs[D3DRS_SPECULARENABLE] ? &m->Specular.r : black);
    // GL refuses powers above 128; the engine's glossy materials ask for up to 514.
    float power = m->Power < 0 ? 0 : m->Power > 128 ? 128 : m->Power;
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, power);
    dev->shininess = power;
}

// Lights are given in world space: GL takes their position through the modelview current
// when they are set, so they are sent with the view matrix alone loaded.
static void apply_lights(d3d8_device* dev)
{
    for (int i = 0; i < 8; i++) {
        GLenum l = GL_LIGHT0 + i;
        if (!dev->light_on[i]) {
            glDisable(l);
            continue;
        }
        const D3DLIGHT8* d = &dev->lights[i];
        glEnable(l);
        glLightfv(l, GL_DIFFUSE, &d->Diffuse.r);
        glLightfv(l, GL_SPECULAR, &d->Specular.r);
        glLightfv(l, GL_AMBIENT, &d->Ambient.r);
        if (d->Type == D3DLIGHT_DIRECTIONAL) {
            float pos[4] = {-d->Direction.x, -d->Direction.y, -d->Direction.z, 0};
            glLightfv(l, GL_POSITION, pos);
            glLightf(l, GL_SPOT_CUTOFF, 180);
            glLightf(l, GL_CONSTANT_ATTENUATION, 1);
            glLightf(l, GL_LINEAR_ATTENUATION, 0);
            glLightf(l, GL_QUADRATIC_ATTENUATION, 0);
        } else {
            float pos[4] = {d->Position.x, d->Position.y, d->Position.z, 1};
            glLightfv(l, GL_POSITION, pos);
            glLightf(l, GL_CONSTANT_ATTENUATION, d->Attenuation0);
            glLightf(l, GL_LINEAR_ATTENUATION, d->Attenuation1);
            glLightf(l, GL_QUADRATIC_ATTENUATION, d->Attenuation2);
            if (d->Type == D3DLIGHT_SPOT) {
                float dir[3] = {d->Direction.x, d->Direction.y, d->Direction.z};
                glLightfv(l, GL_SPOT_DIRECTION, dir);
                float cutoff = d->Phi * 0.5f * 57.29578f;
                glLightf(l, GL_SPOT_CUTOFF, cutoff > 90 ? 90 : cutoff);
                glLightf(l, GL_SPOT_EXPONENT, d->Falloff > 128 ? 128 : d->Falloff < 0 ? 0 : d->Falloff);
            } else
                glLightf(l, GL_SPOT_CUTOFF, 180);
        }
    }
}

static void apply_transforms_3d(d3d8_device* dev)
{
    // Direct3D clips depth to [0, w], GL to [-w, w]: z' = 2z - w keeps window depth equal.
    static const float depth_fix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, -1, 1};
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(depth_fix);
    glMultMatrixf(&dev->projection.m[0][0]); // row-vector layout equals GL's column-major one
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(&dev->view.m[0][0]);
    apply_lights(dev);
    glMultMatrixf(&dev->world.m[0][0]);
}

static void apply_transforms_2d(d3d8_device* dev)
{
    // Screen pixels with y down; z 0..1 maps to depth 0..1.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, dev->viewport.Width, dev->viewport.Height, 0, 0, -1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

static GLenum gl_source(DWORD arg)
{
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
    case D3DTA_SPECULAR:
        return GL_PRIMARY_COLOR;
    case D3DTA_TEXTURE:
        return GL_TEXTURE;
    case D3DTA_TFACTOR:
        return GL_CONSTANT;
    default:
        return GL_PREVIOUS;
    }
}

static GLenum gl_operand(DWORD arg, bool alpha)
{
    bool complement = (arg & D3DTA_COMPLEMENT) != 0;
    if (alpha || (arg & D3DTA_ALPHAREPLICATE))
        return complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    return complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
}

// One channel (colour or alpha) of one stage as a GL combiner.
static void apply_combiner(DWORD op, DWORD arg1, DWORD arg2, bool alpha)
{
    GLenum combine = alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB;
    static const GLenum rgb_src[3] = {GL_SRC0_RGB, GL_SRC1_RGB, GL_SRC2_RGB};
    static const GLenum alpha_src[3] = {GL_SRC0_ALPHA, GL_SRC1_ALPHA, GL_SRC2_ALPHA};
    static const GLenum rgb_opd[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
    static const GLenum alpha_opd[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};
    const GLenum* src = alpha ? alpha_src : rgb_src;
    const GLenum* opd = alpha ? alpha_opd : rgb_opd;
    GLenum scale = alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE;
    GLenum mode = GL_MODULATE;
    float factor = 1;
    DWORD a0 = arg1, a1 = arg2, a2 = D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE;
    switch (op) {
    case D3DTOP_DISABLE: // alpha off while colour runs: pass the current alpha through
        mode = GL_REPLACE;
        a0 = D3DTA_CURRENT;
        break;
    case D3DTOP_SELECTARG1:
        mode = GL_REPLACE;
        break;
    case D3DTOP_SELECTARG2:
        mode = GL_REPLACE;
        a0 = arg2;
        break;
    case D3DTOP_MODULATE2X:
        factor = 2;
        break;
    case D3DTOP_MODULATE4X:
        factor = 4;
        break;
    case D3DTOP_ADD:
        mode = GL_ADD;
        break;
    case D3DTOP_ADDSIGNED:
        mode = GL_ADD_SIGNED;
        break;
    case D3DTOP_ADDSIGNED2X:
        mode = GL_ADD_SIGNED;
        factor = 2;
        break;
    case D3DTOP_SUBTRACT:
        mode = GL_SUBTRACT;
        break;
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA:
        mode = GL_INTERPOLATE;
        a2 = (op == D3DTOP_BLENDDIFFUSEALPHA ? D3DTA_DIFFUSE
              : op == D3DTOP_BLENDTEXTUREALPHA ? D3DTA_TEXTURE
              : op == D3DTOP_BLENDFACTORALPHA  ? D3DTA_TFACTOR
                                               : D3DTA_CURRENT) |
             D3DTA_ALPHAREPLICATE;
        break;
    default: // MODULATE and the operations the engine never asks for
        break;
    }
    glTexEnvi(GL_TEXTURE_ENV, combine, (GLint)mode);
    DWORD args[3] = {a0, a1, a2};
    for (int i = 0; i < 3; i++) {
        glTexEnvi(GL_TEXTURE_ENV, src[i], (GLint)gl_source(args[i]));
        glTexEnvi(GL_TEXTURE_ENV, opd[i], (GLint)gl_operand(args[i], alpha));
    }
    glTexEnvf(GL_TEXTURE_ENV, scale, factor);
}

static GLint gl_wrap(DWORD a)
{
    switch (a) {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

static void apply_sampler(d3d8_device* dev, int stage, d3d8_tex* t)
{
    const DWORD* s = dev->tss[stage];
    GLint mag = s[D3DTSS_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
    GLint min = s[D3DTSS_MINFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
    GLint ws = gl_wrap(s[D3DTSS_ADDRESSU]), wt = gl_wrap(s[D3DTSS_ADDRESSV]);
    if (t->mag != mag)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, t->mag = mag);
    if (t->min != min)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, t->min = min);
    if (t->wrap_s != ws)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, t->wrap_s = ws);
    if (t->wrap_t != wt)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, t->wrap_t = wt);
}

// Stage i runs while its colour operation and every earlier one is not DISABLE; a running
// stage without a texture samples the white texture, as the engine's untextured draws expect.
static int apply_stages(d3d8_device* dev)
{
    bool on = true;
    int running = 0;
    for (int i = 0; i < D3D_STAGES; i++) {
        const DWORD* s = dev->tss[i];
        p_glActiveTexture(GL_TEXTURE0 + i);
        on = on && s[D3DTSS_COLOROP] != D3DTOP_DISABLE;
        if (!on) {
            glDisable(GL_TEXTURE_2D);
            continue;
        }
        running = i + 1;
        glEnable(GL_TEXTURE_2D);
        d3d8_tex* t = dev->textures[i];
        if (t && t->name) {
            glBindTexture(GL_TEXTURE_2D, t->name);
            apply_sampler(dev, i, t);
        } else
            glBindTexture(GL_TEXTURE_2D, dev->white);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        DWORD tf = dev->rs[D3DRS_TEXTUREFACTOR];
        float factor[4] = {((tf >> 16) & 0xff) / 255.0f, ((tf >> 8) & 0xff) / 255.0f, (tf & 0xff) / 255.0f,
                           ((tf >> 24) & 0xff) / 255.0f};
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
        apply_combiner(s[D3DTSS_COLOROP], s[D3DTSS_COLORARG1], s[D3DTSS_COLORARG2], false);
        apply_combiner(s[D3DTSS_ALPHAOP], s[D3DTSS_ALPHAARG1], s[D3DTSS_ALPHAARG2], true);
    }
    p_glActiveTexture(GL_TEXTURE0);
    return running;
}

static int fvf_texcount(DWORD fvf) { return (int)((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT); }

static uint32_t fvf_size(DWORD fvf)
{
    uint32_t n = 0;
    if (fvf & D3DFVF_XYZRHW)
        n += 16;
    else if (fvf & D3DFVF_XYZ)
        n += 12;
    if (fvf & D3DFVF_NORMAL)
        n += 12;
    if (fvf & D3DFVF_PSIZE)
        n += 4;
    if (fvf & D3DFVF_DIFFUSE)
        n += 4;
    if (fvf & D3DFVF_SPECULAR)
        n += 4;
    return n + 8 * (uint32_t)fvf_texcount(fvf);
}

static int stages_running(d3d8_device* dev)
{
    int n = 0;
    while (n < D3D_STAGES && dev->tss[n][D3DTSS_COLOROP] != D3DTOP_DISABLE)
        n++;
    return n;
}

// Sends what changed, then points the arrays at the vertices (base already offset).
static void prepare_draw(d3d8_device* dev, const BYTE* base)
{
    DWORD fvf = dev->fvf;
    bool pretransformed = (fvf & D3DFVF_XYZRHW) != 0;
    if (dev->dirty & DIRTY_RASTER)
        apply_raster(dev);
    if (dev->dirty & DIRTY_STAGES)
        apply_stages(dev);
    dev->dirty &= ~(uint32_t)(DIRTY_RASTER | DIRTY_STAGES);
    // Pre-transformed vertices bypass transform and lighting; what the 3D path needs stays
    // marked until a 3D draw sends it.
    if (pretransformed) {
        if (dev->mode != MODE_2D)
            apply_transforms_2d(dev);
        dev->mode = MODE_2D;
        glDisable(GL_LIGHTING);
    } else {
        if (dev->mode != MODE_3D || (dev->dirty & (DIRTY_TRANSFORM | DIRTY_LIGHTS)))
            apply_transforms_3d(dev);
        dev->mode = MODE_3D;
        if (dev->dirty & DIRTY_MATERIAL)
            apply_material(dev);
        dev->dirty = 0;
        gl_enable(GL_LIGHTING, dev->rs[D3DRS_LIGHTING] != 0);
    }

    uint32_t stride = dev->stride;
    const BYTE* p = base;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, (GLsizei)stride, p);
    p += pretransformed ? 16 : (fvf & D3DFVF_XYZ) ? 12 : 0;
    if (fvf & D3DFVF_NORMAL) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, (GLsizei)stride, p);
        p += 12;
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
        glNormal3f(0, 0, 0);
    }
    if (fvf & D3DFVF_PSIZE)
        p += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, (GLsizei)stride, p); // D3DCOLOR is B, G, R, A in memory
        p += 4;
    } else {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4f(1, 1, 1, 1);
    }
    if (fvf & D3DFVF_SPECULAR)
        p += 4;
    int sets = fvf_texcount(fvf);
    int running = stages_running(dev);
    // Units past both the running stages and those set up last time are already off.
    int units = running > dev->coord_units ? running : dev->coord_units;
    dev->coord_units = running;
    for (int i = 0; i < units; i++) {
        p_glClientActiveTexture(GL_TEXTURE0 + i);
        int set = (int)(dev->tss[i][D3DTSS_TEXCOORDINDEX] & 0xffff);
        if (i < running && set < sets) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, (GLsizei)stride, p + 8 * set);
        } else {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    p_glClientActiveTexture(GL_TEXTURE0);
}

static GLenum gl_primitive(D3DPRIMITIVETYPE type, UINT count, GLsizei* vertices)
{
    switch (type) {
    case D3DPT_POINTLIST:
        *vertices = (GLsizei)count;
        return GL_POINTS;
    case D3DPT_LINELIST:
        *vertices = (GLsizei)(count * 2);
        return GL_LINES;
    case D3DPT_LINESTRIP:
        *vertices = (GLsizei)(count + 1);
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLELIST:
        *vertices = (GLsizei)(count * 3);
        return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP:
        *vertices = (GLsizei)(count + 2);
        return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
        *vertices = (GLsizei)(count + 2);
        return GL_TRIANGLE_FAN;
    default:
        *vertices = 0; // no such type: callers refuse a draw of no vertices
        return GL_POINTS;
    }
}

// ---------------------------------------------------------------------------------------
// Device methods
// ---------------------------------------------------------------------------------------

static d3d8_device* DEV(IDirect3DDevice8* self) { return (d3d8_device*)self; }

// The documented defaults of a new or reset device.
static void device_default_state(d3d8_device* dev)
{
    memset(dev->rs, 0, sizeof(dev->rs));
    DWORD* rs = dev->rs;
    rs[D3DRS_ZENABLE] = dev->params.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGEND] = fbits(1.0f);
    rs[D3DRS_FOGDENSITY] = fbits(1.0f);
    rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xffffffffu;
    rs[D3DRS_TEXTUREFACTOR] = 0xffffffffu;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_LOCALVIEWER] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRS_POINTSIZE] = fbits(1.0f);
    rs[D3DRS_POINTSCALE_A] = fbits(1.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xffffffffu;
    rs[D3DRS_POINTSIZE_MAX] = fbits(64.0f);
    rs[D3DRS_COLORWRITEENABLE] = 0xf;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    for (int i = 0; i < D3D_STAGES; i++) {
        DWORD* s = dev->tss[i];
        memset(s, 0, sizeof(dev->tss[i]));
        s[D3DTSS_COLOROP] = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAOP] = i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_TEXCOORDINDEX] = (DWORD)i;
        s[D3DTSS_ADDRESSU] = s[D3DTSS_ADDRESSV] = s[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        s[D3DTSS_MAGFILTER] = s[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        s[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        s[D3DTSS_MAXANISOTROPY] = 1;
        s[D3DTSS_COLORARG0] = s[D3DTSS_ALPHAARG0] = s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
        dev->textures[i] = nullptr;
    }
    dev->world = dev->view = dev->projection = identity;
    memset(&dev->material, 0, sizeof(dev->material));
    memset(dev->lights, 0, sizeof(dev->lights));
    memset(dev->light_on, 0, sizeof(dev->light_on));
    dev->stream = nullptr;
    dev->stride = 0;
    dev->fvf = 0;
    dev->indices = nullptr;
    dev->base_vertex = 0;
    dev->dirty = DIRTY_RASTER | DIRTY_STAGES | DIRTY_TRANSFORM | DIRTY_LIGHTS | DIRTY_MATERIAL;
    dev->mode = MODE_NONE;
}

static void bind_target_framebuffer(d3d8_device* dev);

// Reads the drawable size into the back buffer and makes it the render target again.
static void device_size_to_window(d3d8_device* dev)
{
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(dev->window, &w, &h);
    dev->target_width = (uint32_t)(w > 0 ? w : 1);
    dev->target_height = (uint32_t)(h > 0 ? h : 1);
    dev->backbuffer->width = dev->implicit_depth->width = dev->target_width;
    dev->backbuffer->height = dev->implicit_depth->height = dev->target_height;
    dev->target = dev->backbuffer;
    dev->depth = dev->implicit_depth;
    bind_target_framebuffer(dev);
}

static d3d8_surface* surface_new(d3d8_device* dev, surface_kind kind, uint32_t w, uint32_t h, D3DFORMAT format,
                                 D3DPOOL pool);

static void gl_initial_state(void)
{
    glDisable(GL_DITHER);
    glDisable(GL_FOG);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_SCISSOR_TEST);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

extern const IDirect3DDevice8Vtbl d3d8_device_vtbl;

static d3d8_device* device_create(HWND focus, D3DPRESENT_PARAMETERS* params, HRESULT* hr)
{
    SDL_GLContext ctx = SDL_GL_GetCurrentContext();
    SDL_Window* win = ctx ? SDL_GL_GetCurrentWindow() : nullptr;
    bool own = false;
    if (!ctx) {
        win = plat_window_sdl(params->hDeviceWindow ? params->hDeviceWindow : focus);
        if (win) {
            plat_window_gl_attributes();
            ctx = SDL_GL_CreateContext(win);
            own = ctx != nullptr;
        }
    }
    if (!ctx || !win || !gl_load()) {
        if (own)
            SDL_GL_DeleteContext(ctx);
        *hr = D3DERR_NOTAVAILABLE;
        return nullptr;
    }
    d3d8_device* dev = (d3d8_device*)calloc(1, sizeof(d3d8_device));
    if (!dev) {
        if (own)
            SDL_GL_DeleteContext(ctx);
        *hr = E_OUTOFMEMORY;
        return nullptr;
    }
    dev->iface.lpVtbl = &d3d8_device_vtbl;
    dev->refs = 1;
    dev->window = win;
    dev->context = ctx;
    dev->own_context = own;
    dev->params = *params;
    dev->objects.next = dev->objects.previous = &dev->objects;
    current_device = dev;

    gl_initial_state();
    // Presents never wait for the display: windowed presents of the original device are
    // immediate, and so is the interval the engine asks for in full screen. The frame loop
    // paces itself.
    SDL_GL_SetSwapInterval(0);
    p_glGenFramebuffers(1, &dev->fbo);
    p_glGenFramebuffers(1, &dev->read_fbo);
    glGenTextures(1, &dev->white);
    glBindTexture(GL_TEXTURE_2D, dev->white);
    static const uint32_t white = 0xffffffffu;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);

    dev->backbuffer = surface_new(dev, SURFACE_BACKBUFFER, 1, 1, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT);
    dev->implicit_depth = surface_new(dev, SURFACE_IMPLICIT_DEPTH, 1, 1, params->AutoDepthStencilFormat,
                                      D3DPOOL_DEFAULT);
    if (!params->Windowed)
        SDL_SetWindowFullscreen(win, SDL_WINDOW_FULLSCREEN_DESKTOP);
    device_size_to_window(dev);
    device_default_state(dev);
    return dev;
}

static void object_orphan(d3d8_object* o);

static void device_destroy(d3d8_device* dev)
{
    // Objects still held by the application outlive the device without their GL names.
    while (dev->objects.next != &dev->objects)
        object_orphan(dev->objects.next);
    free(dev->backbuffer);
    free(dev->implicit_depth);
    p_glBindFramebuffer(GL_FRAMEBUFFER, 0);
    p_glDeleteFramebuffers(1, &dev->fbo);
    p_glDeleteFramebuffers(1, &dev->read_fbo);
    glDeleteTextures(1, &dev->white);
    if (dev->own_context)
        SDL_GL_DeleteContext(dev->context);
    if (current_device == dev)
        current_device = nullptr;
    free(dev);
}

static ULONG dev_addref(IDirect3DDevice8* self) { return ++DEV(self)->refs; }

static ULONG dev_release(IDirect3DDevice8* self)
{
    d3d8_device* dev = DEV(self);
    record(D3D8_CALL_Release, 0, D3D8_KIND_DEVICE);
    if (--dev->refs)
        return dev->refs;
    device_destroy(dev);
    return 0;
}

static bool default_pool_alive(d3d8_device* dev)
{
    for (d3d8_object* o = dev->objects.next; o != &dev->objects; o = o->next)
        if (o->pool == D3DPOOL_DEFAULT && o->refs)
            return true;
    return false;
}

static HRESULT dev_reset(IDirect3DDevice8* self, D3DPRESENT_PARAMETERS* params)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    uint32_t windowed = params ? (uint32_t)params->Windowed : 0;
    if (fault_hit(D3D8_CALL_Reset, &hr))
        return record(D3D8_CALL_Reset, hr, windowed);
    // As on the original device, every default-pool object must be gone before a reset.
    if (!params || default_pool_alive(dev))
        return record(D3D8_CALL_Reset, D3DERR_INVALIDCALL, windowed);
    if ((bool)params->Windowed != (bool)dev->params.Windowed)
        SDL_SetWindowFullscreen(dev->window, params->Windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    dev->params = *params;
    dev->in_scene = false;
    device_size_to_window(dev);
    device_default_state(dev);
    return record(D3D8_CALL_Reset, D3D_OK, windowed, params->BackBufferWidth, params->BackBufferHeight);
}

static HRESULT dev_present(IDirect3DDevice8* self, const RECT* source, const RECT* dest, HWND override_window,
                           const void* dirty_region)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_Present, &hr))
        return record(D3D8_CALL_Present, hr);
    if (dev->target != dev->backbuffer)
        p_glBindFramebuffer(GL_FRAMEBUFFER, 0);
    SDL_GL_SwapWindow(dev->window);
    if (dev->target != dev->backbuffer)
        bind_target_framebuffer(dev);
    return record(D3D8_CALL_Present, D3D_OK);
}

static HRESULT dev_get_viewport(IDirect3DDevice8* self, D3DVIEWPORT8* viewport)
{
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_GetViewport, &hr))
        return record(D3D8_CALL_GetViewport, hr);
    if (!viewport)
        return record(D3D8_CALL_GetViewport, D3DERR_INVALIDCALL);
    *viewport = DEV(self)->viewport;
    return record(D3D8_CALL_GetViewport, D3D_OK, viewport->Width, viewport->Height);
}

// Clears ignore the colour and depth write masks and the scissor, as the original does.
static HRESULT dev_clear(IDirect3DDevice8* self, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour,
                         float z, DWORD stencil)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_Clear, &hr))
        return record(D3D8_CALL_Clear, hr, count, flags, colour, fbits(z), stencil);
    if (!(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        return record(D3D8_CALL_Clear, D3DERR_INVALIDCALL, count, flags, colour, fbits(z), stencil);
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        mask |= GL_COLOR_BUFFER_BIT;
        glClearColor(((colour >> 16) & 0xff) / 255.0f, ((colour >> 8) & 0xff) / 255.0f, (colour & 0xff) / 255.0f,
                     ((colour >> 24) & 0xff) / 255.0f);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        mask |= GL_DEPTH_BUFFER_BIT;
        glClearDepth(z < 0 ? 0 : z > 1 ? 1 : z);
        glDepthMask(GL_TRUE);
    }
    if (flags & D3DCLEAR_STENCIL) {
        mask |= GL_STENCIL_BUFFER_BIT;
        glClearStencil((GLint)stencil);
        glStencilMask(0xffffffffu);
    }
    if (count && rects) {
        glEnable(GL_SCISSOR_TEST);
        for (DWORD i = 0; i < count; i++) {
            const D3DRECT* r = &rects[i];
            if (r->x2 <= r->x1 || r->y2 <= r->y1)
                continue;
            glScissor(r->x1, (GLint)dev->viewport.Height - r->y2, r->x2 - r->x1, r->y2 - r->y1);
            glClear(mask);
        }
        glDisable(GL_SCISSOR_TEST);
    } else
        glClear(mask);
    apply_masks(dev);
    return record(D3D8_CALL_Clear, D3D_OK, count, flags, colour, fbits(z), stencil);
}

static HRESULT dev_begin_scene(IDirect3DDevice8* self)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_BeginScene, &hr))
        return record(D3D8_CALL_BeginScene, hr);
    if (dev->in_scene)
        return record(D3D8_CALL_BeginScene, D3DERR_INVALIDCALL);
    dev->in_scene = true;
    return record(D3D8_CALL_BeginScene, D3D_OK);
}

static HRESULT dev_end_scene(IDirect3DDevice8* self)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_EndScene, &hr))
        return record(D3D8_CALL_EndScene, hr);
    if (!dev->in_scene)
        return record(D3D8_CALL_EndScene, D3DERR_INVALIDCALL);
    dev->in_scene = false;
    return record(D3D8_CALL_EndScene, D3D_OK);
}

// Every state is stored and accepted, also those GL cannot show: an error here would make
// the engine reset its device every frame.
static HRESULT dev_set_render_state(IDirect3DDevice8* self, D3DRENDERSTATETYPE state, DWORD value)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SetRenderState, &hr))
        return record(D3D8_CALL_SetRenderState, hr, state, value);
    if (state >= D3DRS_COUNT)
        return record(D3D8_CALL_SetRenderState, D3DERR_INVALIDCALL, state, value);
    if (dev->rs[state] != value) {
        dev->rs[state] = value;
        dev->dirty |= state == D3DRS_TEXTUREFACTOR ? DIRTY_STAGES : DIRTY_RASTER;
    }
    return record(D3D8_CALL_SetRenderState, D3D_OK, state, value);
}

static HRESULT dev_get_render_state(IDirect3DDevice8* self, D3DRENDERSTATETYPE state, DWORD* value)
{
    if (state >= D3DRS_COUNT || !value)
        return D3DERR_INVALIDCALL;
    *value = DEV(self)->rs[state];
    return D3D_OK;
}

static HRESULT dev_set_texture_stage_state(IDirect3DDevice8* self, DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                           DWORD value)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SetTextureStageState, &hr))
        return record(D3D8_CALL_SetTextureStageState, hr, stage, state, value);
    if (stage >= D3D_STAGES || state >= D3DTSS_COUNT)
        return record(D3D8_CALL_SetTextureStageState, D3DERR_INVALIDCALL, stage, state, value);
    if (dev->tss[stage][state] != value) {
        dev->tss[stage][state] = value;
        dev->dirty |= DIRTY_STAGES;
    }
    return record(D3D8_CALL_SetTextureStageState, D3D_OK, stage, state, value);
}

static HRESULT dev_get_texture_stage_state(IDirect3DDevice8* self, DWORD stage, D3DTEXTURESTAGESTATETYPE state,
                                           DWORD* value)
{
    if (stage >= D3D_STAGES || state >= D3DTSS_COUNT || !value)
        return D3DERR_INVALIDCALL;
    *value = DEV(self)->tss[stage][state];
    return D3D_OK;
}

static HRESULT dev_set_texture(IDirect3DDevice8* self, DWORD stage, IDirect3DBaseTexture8* texture)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SetTexture, &hr))
        return record(D3D8_CALL_SetTexture, hr, stage, ptr_flag(texture));
    if (stage >= D3D_STAGES)
        return record(D3D8_CALL_SetTexture, D3DERR_INVALIDCALL, stage, ptr_flag(texture));
    d3d8_tex* t = (d3d8_tex*)texture;
    if (dev->textures[stage] != t) {
        dev->textures[stage] = t;
        dev->dirty |= DIRTY_STAGES;
    }
    return record(D3D8_CALL_SetTexture, D3D_OK, stage, ptr_flag(texture));
}

static HRESULT dev_set_material(IDirect3DDevice8* self, const D3DMATERIAL8* material)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SetMaterial, &hr))
        return record(D3D8_CALL_SetMaterial, hr);
    if (!material)
        return record(D3D8_CALL_SetMaterial, D3DERR_INVALIDCALL);
    dev->material = *material;
    dev->dirty |= DIRTY_MATERIAL;
    return record(D3D8_CALL_SetMaterial, D3D_OK, fbits(material->Diffuse.r), fbits(material->Diffuse.a),
                  fbits(material->Power));
}

static HRESULT dev_get_material(IDirect3DDevice8* self, D3DMATERIAL8* material)
{
    if (!material)
        return D3DERR_INVALIDCALL;
    *material = DEV(self)->material;
    return D3D_OK;
}

static D3DMATRIX* transform_slot(d3d8_device* dev, D3DTRANSFORMSTATETYPE state)
{
    switch (state) {
    case D3DTS_WORLD:
        return &dev->world;
    case D3DTS_VIEW:
        return &dev->view;
    case D3DTS_PROJECTION:
        return &dev->projection;
    default:
        return nullptr;
    }
}

static HRESULT dev_set_transform(IDirect3DDevice8* self, D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SetTransform, &hr))
        return record(D3D8_CALL_SetTransform, hr, state);
    if (!matrix)
        return record(D3D8_CALL_SetTransform, D3DERR_INVALIDCALL, state);
    D3DMATRIX* slot = transform_slot(dev, state);
    if (slot) { // texture matrices are kept at identity: the engine never sets them
        *slot = *matrix;
        dev->dirty |= DIRTY_TRANSFORM;
    }
    return record(D3D8_CALL_SetTransform, D3D_OK, state);
}

static HRESULT dev_get_transform(IDirect3DDevice8* self, D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    D3DMATRIX* slot = transform_slot(DEV(self), state);
    if (!matrix)
        return D3DERR_INVALIDCALL;
    *matrix = slot ? *slot : identity;
    return D3D_OK;
}

static HRESULT dev_set_light(IDirect3DDevice8* self, DWORD index, const D3DLIGHT8* light)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SetLight, &hr))
        return record(D3D8_CALL_SetLight, hr, index);
    if (!light || index >= 8)
        return record(D3D8_CALL_SetLight, D3DERR_INVALIDCALL, index);
    dev->lights[index] = *light;
    dev->dirty |= DIRTY_LIGHTS;
    return record(D3D8_CALL_SetLight, D3D_OK, index, light->Type);
}

static HRESULT dev_light_enable(IDirect3DDevice8* self, DWORD index, BOOL enable)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_LightEnable, &hr))
        return record(D3D8_CALL_LightEnable, hr, index, (uint32_t)enable);
    if (index >= 8)
        return record(D3D8_CALL_LightEnable, D3DERR_INVALIDCALL, index, (uint32_t)enable);
    dev->light_on[index] = enable ? TRUE : FALSE;
    dev->dirty |= DIRTY_LIGHTS;
    return record(D3D8_CALL_LightEnable, D3D_OK, index, (uint32_t)enable);
}

static HRESULT dev_set_stream_source(IDirect3DDevice8* self, UINT stream, IDirect3DVertexBuffer8* buffer,
                                     UINT stride)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SetStreamSource, &hr))
        return record(D3D8_CALL_SetStreamSource, hr, stream, ptr_flag(buffer), stride);
    if (stream != 0)
        return record(D3D8_CALL_SetStreamSource, D3DERR_INVALIDCALL, stream, ptr_flag(buffer), stride);
    dev->stream = (d3d8_vb*)buffer;
    dev->stride = stride;
    return record(D3D8_CALL_SetStreamSource, D3D_OK, stream, ptr_flag(buffer), stride);
}

static HRESULT dev_set_vertex_shader(IDirect3DDevice8* self, DWORD fvf)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SetVertexShader, &hr))
        return record(D3D8_CALL_SetVertexShader, hr, fvf);
    if (dev->fvf != fvf && ((dev->fvf ^ fvf) & D3DFVF_XYZRHW))
        dev->mode = MODE_NONE;
    dev->fvf = fvf;
    return record(D3D8_CALL_SetVertexShader, D3D_OK, fvf);
}

static HRESULT dev_set_indices(IDirect3DDevice8* self, IDirect3DIndexBuffer8* buffer, UINT base_vertex)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SetIndices, &hr))
        return record(D3D8_CALL_SetIndices, hr, ptr_flag(buffer), base_vertex);
    dev->indices = (d3d8_ib*)buffer;
    dev->base_vertex = base_vertex;
    return record(D3D8_CALL_SetIndices, D3D_OK, ptr_flag(buffer), base_vertex);
}

// The vertex range [first, first + n) of the bound stream, checked against its size.
static const BYTE* stream_range(d3d8_device* dev, uint64_t first, uint64_t n)
{
    d3d8_vb* vb = dev->stream;
    if (!vb || !vb->data || vb->locked || dev->stride == 0 || n == 0)
        return nullptr;
    if (dev->stride < fvf_size(dev->fvf) || !(dev->fvf & (D3DFVF_XYZ | D3DFVF_XYZRHW)))
        return nullptr;
    // The last vertex needs its own attributes only, not a whole stride.
    uint64_t end = (first + n - 1) * dev->stride + fvf_size(dev->fvf);
    if (end > vb->length)
        return nullptr;
    return vb->data + first * dev->stride;
}

static HRESULT dev_draw_primitive(IDirect3DDevice8* self, D3DPRIMITIVETYPE type, UINT start, UINT count)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_DrawPrimitive, &hr))
        return record(D3D8_CALL_DrawPrimitive, hr, type, start, count);
    GLsizei n = 0;
    GLenum mode = gl_primitive(type, count, &n);
    if (count == 0 && type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN) // drawing nothing is no error
        return record(D3D8_CALL_DrawPrimitive, D3D_OK, type, start, count);
    const BYTE* base = stream_range(dev, start, (uint64_t)n);
    if (n == 0 || !base)
        return record(D3D8_CALL_DrawPrimitive, D3DERR_INVALIDCALL, type, start, count);
    prepare_draw(dev, base);
    glDrawArrays(mode, 0, n);
    return record(D3D8_CALL_DrawPrimitive, D3D_OK, type, start, count);
}

static HRESULT dev_draw_indexed_primitive(IDirect3DDevice8* self, D3DPRIMITIVETYPE type, UINT min_index,
                                          UINT num_vertices, UINT start_index, UINT count)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_DrawIndexedPrimitive, &hr))
        return record(D3D8_CALL_DrawIndexedPrimitive, hr, type, min_index, num_vertices, start_index, count);
    GLsizei n = 0;
    GLenum mode = gl_primitive(type, count, &n);
    if (count == 0 && type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN)
        return record(D3D8_CALL_DrawIndexedPrimitive, D3D_OK, type, min_index, num_vertices, start_index, count);
    d3d8_ib* ib = dev->indices;
    uint32_t isize = ib && ib->format == D3DFMT_INDEX32 ? 4 : 2;
    const BYTE* base = stream_range(dev, (uint64_t)dev->base_vertex + min_index, num_vertices);
    bool ok = n > 0 && base && ib && ib->data && !ib->locked &&
              ((uint64_t)start_index + (uint64_t)n) * isize <= ib->length;
    // Every index must stay inside the declared vertex range, or GL would read past the buffer.
    if (ok) {
        const BYTE* first = ib->data + (uint64_t)start_index * isize;
        for (GLsizei i = 0; ok && i < n; i++) {
            uint32_t v = isize == 2 ? ((const uint16_t*)first)[i] : ((const uint32_t*)first)[i];
            ok = v >= min_index && v - min_index < num_vertices;
        }
    }
    if (!ok)
        return record(D3D8_CALL_DrawIndexedPrimitive, D3DERR_INVALIDCALL, type, min_index, num_vertices,
                      start_index, count);
    prepare_draw(dev, dev->stream->data + (uint64_t)dev->base_vertex * dev->stride);
    glDrawElements(mode, n, isize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, ib->data + (uint64_t)start_index * isize);
    return record(D3D8_CALL_DrawIndexedPrimitive, D3D_OK, type, min_index, num_vertices, start_index, count);
}

// ---------------------------------------------------------------------------------------
// Buffers
// ---------------------------------------------------------------------------------------

static void object_free(d3d8_object* o);

// Release of a buffer or texture: logged with the object's kind and pool; frees it at 0.
static ULONG object_release(d3d8_object* o)
{
    record(D3D8_CALL_Release, 0, o->kind, o->pool);
    if (--o->refs)
        return o->refs;
    object_free(o);
    return 0;
}

// Vertex and index buffers are both a byte block in system memory with a lock flag; `call`
// names the buffer's own lock or unlock in the fault table and the call log.
static HRESULT block_lock(d3d8_call call, BYTE* block, uint32_t length, bool* locked, UINT offset, UINT size,
                          BYTE** data, DWORD flags)
{
    HRESULT hr = D3D_OK;
    if (data)
        *data = nullptr;
    bool injected = fault_hit(call, &hr);
    if (injected && FAILED(hr))
        return record(call, hr, offset, size, flags);
    if (!data || !block || (uint64_t)offset + size > length || offset > length)
        return record(call, D3DERR_INVALIDCALL, offset, size, flags);
    *locked = true;
    *data = block + offset;
    return record(call, injected ? hr : D3D_OK, offset, size, flags);
}

static HRESULT block_unlock(d3d8_call call, bool* locked)
{
    HRESULT hr = D3D_OK;
    if (fault_hit(call, &hr))
        return record(call, hr);
    *locked = false;
    return record(call, D3D_OK);
}

static ULONG vb_addref(IDirect3DVertexBuffer8* self) { return ++((d3d8_vb*)self)->obj.refs; }
static ULONG vb_release(IDirect3DVertexBuffer8* self) { return object_release(&((d3d8_vb*)self)->obj); }

static HRESULT vb_lock(IDirect3DVertexBuffer8* self, UINT offset, UINT size, BYTE** data, DWORD flags)
{
    d3d8_vb* vb = (d3d8_vb*)self;
    return block_lock(D3D8_CALL_VertexBufferLock, vb->data, vb->length, &vb->locked, offset, size, data, flags);
}

static HRESULT vb_unlock(IDirect3DVertexBuffer8* self)
{
    return block_unlock(D3D8_CALL_VertexBufferUnlock, &((d3d8_vb*)self)->locked);
}

static const IDirect3DVertexBuffer8Vtbl vb_vtbl = {vb_addref, vb_release, vb_lock, vb_unlock};

static HRESULT dev_create_vertex_buffer(IDirect3DDevice8* self, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                        IDirect3DVertexBuffer8** out)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (out)
        *out = nullptr;
    if (fault_hit(D3D8_CALL_CreateVertexBuffer, &hr))
        return record(D3D8_CALL_CreateVertexBuffer, hr, length, usage, fvf, pool);
    if (!out || length == 0 || pool > D3DPOOL_SYSTEMMEM)
        return record(D3D8_CALL_CreateVertexBuffer, D3DERR_INVALIDCALL, length, usage, fvf, pool);
    d3d8_vb* vb = (d3d8_vb*)calloc(1, sizeof(d3d8_vb));
    BYTE* data = (BYTE*)calloc(1, length);
    if (!vb || !data) {
        free(vb);
        free(data);
        return record(D3D8_CALL_CreateVertexBuffer, D3DERR_OUTOFVIDEOMEMORY, length, usage, fvf, pool);
    }
    vb->iface.lpVtbl = &vb_vtbl;
    vb->length = length;
    vb->usage = usage;
    vb->fvf = fvf;
    vb->data = data;
    object_link(dev, &vb->obj, D3D8_KIND_VERTEXBUFFER, pool);
    *out = &vb->iface;
    return record(D3D8_CALL_CreateVertexBuffer, D3D_OK, length, usage, fvf, pool);
}

static ULONG ib_addref(IDirect3DIndexBuffer8* self) { return ++((d3d8_ib*)self)->obj.refs; }
static ULONG ib_release(IDirect3DIndexBuffer8* self) { return object_release(&((d3d8_ib*)self)->obj); }

static HRESULT ib_lock(IDirect3DIndexBuffer8* self, UINT offset, UINT size, BYTE** data, DWORD flags)
{
    d3d8_ib* ib = (d3d8_ib*)self;
    return block_lock(D3D8_CALL_IndexBufferLock, ib->data, ib->length, &ib->locked, offset, size, data, flags);
}

static HRESULT ib_unlock(IDirect3DIndexBuffer8* self)
{
    return block_unlock(D3D8_CALL_IndexBufferUnlock, &((d3d8_ib*)self)->locked);
}

static const IDirect3DIndexBuffer8Vtbl ib_vtbl = {ib_addref, ib_release, ib_lock, ib_unlock};

static HRESULT dev_create_index_buffer(IDirect3DDevice8* self, UINT length, DWORD usage, D3DFORMAT format,
                                       D3DPOOL pool, IDirect3DIndexBuffer8** out)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (out)
        *out = nullptr;
    if (fault_hit(D3D8_CALL_CreateIndexBuffer, &hr))
        return record(D3D8_CALL_CreateIndexBuffer, hr, length, usage, format, pool);
    if (!out || length == 0 || pool > D3DPOOL_SYSTEMMEM || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return record(D3D8_CALL_CreateIndexBuffer, D3DERR_INVALIDCALL, length, usage, format, pool);
    d3d8_ib* ib = (d3d8_ib*)calloc(1, sizeof(d3d8_ib));
    BYTE* data = (BYTE*)calloc(1, length);
    if (!ib || !data) {
        free(ib);
        free(data);
        return record(D3D8_CALL_CreateIndexBuffer, D3DERR_OUTOFVIDEOMEMORY, length, usage, format, pool);
    }
    ib->iface.lpVtbl = &ib_vtbl;
    ib->length = length;
    ib->usage = usage;
    ib->format = format;
    ib->data = data;
    object_link(dev, &ib->obj, D3D8_KIND_INDEXBUFFER, pool);
    *out = &ib->iface;
    return record(D3D8_CALL_CreateIndexBuffer, D3D_OK, length, usage, format, pool);
}

// ---------------------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------------------

static ULONG tex_addref(IDirect3DTexture8* self) { return ++((d3d8_tex*)self)->obj.refs; }

static ULONG tex_release(IDirect3DTexture8* self) { return object_release(&((d3d8_tex*)self)->obj); }

static DWORD tex_get_level_count(IDirect3DTexture8* self) { return ((d3d8_tex*)self)->levels; }

static uint32_t level_size(uint32_t size, UINT level)
{
    size >>= level;
    return size ? size : 1;
}

static HRESULT tex_get_level_desc(IDirect3DTexture8* self, UINT level, D3DSURFACE_DESC* desc)
{
    d3d8_tex* t = (d3d8_tex*)self;
    if (!desc || level >= t->levels)
        return D3DERR_INVALIDCALL;
    memset(desc, 0, sizeof(*desc));
    desc->Format = t->format;
    desc->Usage = t->usage;
    desc->Pool = t->obj.pool;
    desc->Width = level_size(t->width, level);
    desc->Height = level_size(t->height, level);
    desc->Size = desc->Width * desc->Height * 4;
    return D3D_OK;
}

static HRESULT tex_lock_rect(IDirect3DTexture8* self, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                             DWORD flags)
{
    d3d8_tex* t = (d3d8_tex*)self;
    HRESULT hr = D3D_OK;
    if (locked)
        locked->pBits = nullptr;
    if (fault_hit(D3D8_CALL_TextureLockRect, &hr))
        return record(D3D8_CALL_TextureLockRect, hr, level, flags);
    if (!locked || level >= t->levels || !t->data || t->locked)
        return record(D3D8_CALL_TextureLockRect, D3DERR_INVALIDCALL, level, flags);
    BYTE* base = t->data;
    uint32_t pitch = t->pitch;
    if (level > 0) { // the smaller levels are never sampled: they get scratch memory
        free(t->spare);
        pitch = level_size(t->width, level) * 4 + texture_pitch_pad;
        t->spare = (BYTE*)calloc(level_size(t->height, level), pitch);
        if (!t->spare)
            return record(D3D8_CALL_TextureLockRect, E_OUTOFMEMORY, level, flags);
        base = t->spare;
    }
    if (rect) {
        uint32_t w = level_size(t->width, level), h = level_size(t->height, level);
        if (rect->left < 0 || rect->top < 0 || rect->right > (LONG)w || rect->bottom > (LONG)h ||
            rect->left >= rect->right || rect->top >= rect->bottom)
            return record(D3D8_CALL_TextureLockRect, D3DERR_INVALIDCALL, level, flags);
        base += (size_t)rect->top * pitch + (size_t)rect->left * 4;
    }
    locked->Pitch = (INT)pitch;
    locked->pBits = base;
    t->locked = true;
    return record(D3D8_CALL_TextureLockRect, D3D_OK, level, flags, pitch);
}

static void tex_upload(d3d8_tex* t)
{
    if (!t->obj.device || !t->name)
        return;
    glBindTexture(GL_TEXTURE_2D, t->name);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, (GLint)(t->pitch / 4));
    GLint internal = t->format == D3DFMT_X8R8G8B8 ? GL_RGB8 : GL_RGBA8;
    glTexImage2D(GL_TEXTURE_2D, 0, internal, (GLsizei)t->width, (GLsizei)t->height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 t->data);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    t->obj.device->dirty |= DIRTY_STAGES; // the bind above disturbed a unit
}

static HRESULT tex_unlock_rect(IDirect3DTexture8* self, UINT level)
{
    d3d8_tex* t = (d3d8_tex*)self;
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_TextureUnlockRect, &hr))
        return record(D3D8_CALL_TextureUnlockRect, hr, level);
    if (!t->locked || level >= t->levels)
        return record(D3D8_CALL_TextureUnlockRect, D3DERR_INVALIDCALL, level);
    t->locked = false;
    if (level == 0)
        tex_upload(t);
    return record(D3D8_CALL_TextureUnlockRect, D3D_OK, level);
}

static const IDirect3DTexture8Vtbl tex_vtbl = {tex_addref,  tex_release,    tex_get_level_count,
                                               tex_get_level_desc, tex_lock_rect, tex_unlock_rect};

static uint32_t full_chain(uint32_t w, uint32_t h)
{
    uint32_t n = 1;
    while (w > 1 || h > 1) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        n++;
    }
    return n;
}

static HRESULT dev_create_texture(IDirect3DDevice8* self, UINT width, UINT height, UINT levels, DWORD usage,
                                  D3DFORMAT format, D3DPOOL pool, IDirect3DTexture8** out)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (out)
        *out = nullptr;
    if (fault_hit(D3D8_CALL_CreateTexture, &hr))
        return record(D3D8_CALL_CreateTexture, hr, width, height, levels, format, pool);
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    if (!out || width == 0 || height == 0 || width > (UINT)max_size || height > (UINT)max_size ||
        pool > D3DPOOL_SYSTEMMEM)
        return record(D3D8_CALL_CreateTexture, D3DERR_INVALIDCALL, width, height, levels, format, pool);
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8)
        return record(D3D8_CALL_CreateTexture, D3DERR_WRONGTEXTUREFORMAT, width, height, levels, format, pool);
    uint32_t chain = full_chain(width, height);
    d3d8_tex* t = (d3d8_tex*)calloc(1, sizeof(d3d8_tex));
    uint32_t pitch = width * 4 + texture_pitch_pad;
    BYTE* data = (BYTE*)calloc(height, pitch);
    if (!t || !data) {
        free(t);
        free(data);
        return record(D3D8_CALL_CreateTexture, D3DERR_OUTOFVIDEOMEMORY, width, height, levels, format, pool);
    }
    t->iface.lpVtbl = &tex_vtbl;
    t->width = width;
    t->height = height;
    t->levels = levels == 0 || levels > chain ? chain : levels;
    t->usage = usage;
    t->format = format;
    t->pitch = pitch;
    t->data = data;
    glGenTextures(1, &t->name);
    glBindTexture(GL_TEXTURE_2D, t->name);
    // Only level 0 is ever filled and sampled, so the texture is complete without mipmaps.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, t->mag = GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, t->min = GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, t->wrap_s = GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, t->wrap_t = GL_REPEAT);
    object_link(dev, &t->obj, D3D8_KIND_TEXTURE, pool);
    tex_upload(t); // a new texture reads as transparent black until it is filled
    *out = &t->iface;
    return record(D3D8_CALL_CreateTexture, D3D_OK, width, height, levels, format, pool);
}

// ---------------------------------------------------------------------------------------
// Surfaces: the back buffer, the implicit depth buffer, render targets and depth surfaces
// ---------------------------------------------------------------------------------------

static ULONG surface_addref(IDirect3DSurface8* self) { return ++((d3d8_surface*)self)->obj.refs; }

static ULONG surface_release(IDirect3DSurface8* self)
{
    d3d8_surface* s = (d3d8_surface*)self;
    record(D3D8_CALL_Release, 0, D3D8_KIND_SURFACE, s->obj.pool);
    if (s->obj.refs)
        s->obj.refs--;
    // The device's own surfaces live as long as the device.
    if (s->obj.refs || s->skind == SURFACE_BACKBUFFER || s->skind == SURFACE_IMPLICIT_DEPTH)
        return s->obj.refs;
    object_free(&s->obj);
    return 0;
}

static HRESULT surface_get_desc(IDirect3DSurface8* self, D3DSURFACE_DESC* desc)
{
    d3d8_surface* s = (d3d8_surface*)self;
    if (!desc)
        return D3DERR_INVALIDCALL;
    memset(desc, 0, sizeof(*desc));
    desc->Format = s->format;
    desc->Pool = s->obj.pool;
    desc->Width = s->width;
    desc->Height = s->height;
    desc->Size = s->width * s->height * 4;
    return D3D_OK;
}

static bool is_colour(const d3d8_surface* s) { return s->skind == SURFACE_BACKBUFFER || s->skind == SURFACE_TARGET; }

// Binds the framebuffer from which `s` can be read; returns false when it cannot.
static bool bind_read(d3d8_device* dev, d3d8_surface* s)
{
    if (s->skind == SURFACE_BACKBUFFER) {
        p_glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        return true;
    }
    if (s->skind != SURFACE_TARGET)
        return false;
    p_glBindFramebuffer(GL_READ_FRAMEBUFFER, dev->read_fbo);
    p_glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s->name, 0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return p_glCheckFramebufferStatus(GL_READ_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

static void unbind_read(d3d8_device* dev)
{
    p_glBindFramebuffer(GL_READ_FRAMEBUFFER, dev->target == dev->backbuffer ? 0 : dev->fbo);
}

// Rows come out top row first, as the original's surfaces are laid out.
static void read_rows(d3d8_surface* s, BYTE* out, uint32_t pitch)
{
    for (uint32_t y = 0; y < s->height; y++)
        glReadPixels(0, (GLint)(s->height - 1 - y), (GLsizei)s->width, 1, GL_BGRA, GL_UNSIGNED_BYTE,
                     out + (size_t)y * pitch);
}

static HRESULT surface_lock_rect(IDirect3DSurface8* self, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    d3d8_surface* s = (d3d8_surface*)self;
    d3d8_device* dev = s->obj.device;
    HRESULT hr = D3D_OK;
    if (locked)
        locked->pBits = nullptr;
    if (fault_hit(D3D8_CALL_SurfaceLockRect, &hr))
        return record(D3D8_CALL_SurfaceLockRect, hr, flags);
    if (!locked || !dev || !is_colour(s) || s->lock_data || rect)
        return record(D3D8_CALL_SurfaceLockRect, D3DERR_INVALIDCALL, flags);
    uint32_t pitch = s->width * 4;
    s->lock_data = (BYTE*)calloc(s->height, pitch);
    if (!s->lock_data)
        return record(D3D8_CALL_SurfaceLockRect, E_OUTOFMEMORY, flags);
    if (bind_read(dev, s))
        read_rows(s, s->lock_data, pitch);
    unbind_read(dev);
    s->lock_flags = flags;
    locked->Pitch = (INT)pitch;
    locked->pBits = s->lock_data;
    return record(D3D8_CALL_SurfaceLockRect, D3D_OK, flags);
}

static HRESULT surface_unlock_rect(IDirect3DSurface8* self)
{
    d3d8_surface* s = (d3d8_surface*)self;
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SurfaceUnlockRect, &hr))
        return record(D3D8_CALL_SurfaceUnlockRect, hr);
    if (!s->lock_data)
        return record(D3D8_CALL_SurfaceUnlockRect, D3DERR_INVALIDCALL);
    // Writes through a lock reach render targets only; the back buffer is read-only here.
    if (!(s->lock_flags & D3DLOCK_READONLY) && s->skind == SURFACE_TARGET && s->obj.device) {
        glBindTexture(GL_TEXTURE_2D, s->name);
        for (uint32_t y = 0; y < s->height; y++)
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, (GLint)(s->height - 1 - y), (GLsizei)s->width, 1, GL_BGRA,
                            GL_UNSIGNED_BYTE, s->lock_data + (size_t)y * s->width * 4);
        s->obj.device->dirty |= DIRTY_STAGES;
    }
    free(s->lock_data);
    s->lock_data = nullptr;
    return record(D3D8_CALL_SurfaceUnlockRect, D3D_OK);
}

static const IDirect3DSurface8Vtbl surface_vtbl = {surface_addref, surface_release, surface_get_desc,
                                                   surface_lock_rect, surface_unlock_rect};

static d3d8_surface* surface_new(d3d8_device* dev, surface_kind kind, uint32_t w, uint32_t h, D3DFORMAT format,
                                 D3DPOOL pool)
{
    d3d8_surface* s = (d3d8_surface*)calloc(1, sizeof(d3d8_surface));
    if (!s)
        return nullptr;
    s->iface.lpVtbl = &surface_vtbl;
    s->skind = kind;
    s->width = w;
    s->height = h;
    s->format = format;
    if (kind == SURFACE_BACKBUFFER || kind == SURFACE_IMPLICIT_DEPTH) {
        // Not in the object ring: they are not counted as the application's objects.
        s->obj.kind = D3D8_KIND_SURFACE;
        s->obj.refs = 1;
        s->obj.pool = pool;
        s->obj.device = dev;
    } else
        object_link(dev, &s->obj, D3D8_KIND_SURFACE, pool);
    return s;
}

static HRESULT dev_create_render_target(IDirect3DDevice8* self, UINT width, UINT height, D3DFORMAT format,
                                        D3DMULTISAMPLE_TYPE multisample, BOOL lockable, IDirect3DSurface8** out)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (out)
        *out = nullptr;
    if (fault_hit(D3D8_CALL_CreateRenderTarget, &hr))
        return record(D3D8_CALL_CreateRenderTarget, hr, width, height, format, multisample, (uint32_t)lockable);
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &max_size);
    if (!out || width == 0 || height == 0 || width > (UINT)max_size || height > (UINT)max_size ||
        (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8))
        return record(D3D8_CALL_CreateRenderTarget, D3DERR_INVALIDCALL, width, height, format, multisample,
                      (uint32_t)lockable);
    d3d8_surface* s = surface_new(dev, SURFACE_TARGET, width, height, format, D3DPOOL_DEFAULT);
    if (!s)
        return record(D3D8_CALL_CreateRenderTarget, E_OUTOFMEMORY, width, height, format, multisample,
                      (uint32_t)lockable);
    glGenTextures(1, &s->name);
    glBindTexture(GL_TEXTURE_2D, s->name);
    glTexImage2D(GL_TEXTURE_2D, 0, format == D3DFMT_X8R8G8B8 ? GL_RGB8 : GL_RGBA8, (GLsizei)width, (GLsizei)height, 0,
                 GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    dev->dirty |= DIRTY_STAGES;
    *out = &s->iface;
    return record(D3D8_CALL_CreateRenderTarget, D3D_OK, width, height, format, multisample, (uint32_t)lockable);
}

static HRESULT dev_create_depth_stencil_surface(IDirect3DDevice8* self, UINT width, UINT height, D3DFORMAT format,
                                               D3DMULTISAMPLE_TYPE multisample, IDirect3DSurface8** out)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (out)
        *out = nullptr;
    if (fault_hit(D3D8_CALL_CreateDepthStencilSurface, &hr))
        return record(D3D8_CALL_CreateDepthStencilSurface, hr, width, height, format, multisample);
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &max_size);
    if (!out || width == 0 || height == 0 || width > (UINT)max_size || height > (UINT)max_size ||
        (format != D3DFMT_D16 && format != D3DFMT_D24S8))
        return record(D3D8_CALL_CreateDepthStencilSurface, D3DERR_INVALIDCALL, width, height, format, multisample);
    d3d8_surface* s = surface_new(dev, SURFACE_DEPTH, width, height, format, D3DPOOL_DEFAULT);
    if (!s)
        return record(D3D8_CALL_CreateDepthStencilSurface, E_OUTOFMEMORY, width, height, format, multisample);
    p_glGenRenderbuffers(1, &s->name);
    p_glBindRenderbuffer(GL_RENDERBUFFER, s->name);
    p_glRenderbufferStorage(GL_RENDERBUFFER, format == D3DFMT_D16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH24_STENCIL8,
                            (GLsizei)width, (GLsizei)height);
    *out = &s->iface;
    return record(D3D8_CALL_CreateDepthStencilSurface, D3D_OK, width, height, format, multisample);
}

static HRESULT dev_get_render_target(IDirect3DDevice8* self, IDirect3DSurface8** out)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (out)
        *out = nullptr;
    if (fault_hit(D3D8_CALL_GetRenderTarget, &hr))
        return record(D3D8_CALL_GetRenderTarget, hr);
    if (!out)
        return record(D3D8_CALL_GetRenderTarget, D3DERR_INVALIDCALL);
    dev->target->obj.refs++; // handed out referenced, as COM does
    *out = &dev->target->iface;
    return record(D3D8_CALL_GetRenderTarget, D3D_OK);
}

static HRESULT dev_get_depth_stencil_surface(IDirect3DDevice8* self, IDirect3DSurface8** out)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (out)
        *out = nullptr;
    if (fault_hit(D3D8_CALL_GetDepthStencilSurface, &hr))
        return record(D3D8_CALL_GetDepthStencilSurface, hr);
    if (!out || !dev->depth)
        return record(D3D8_CALL_GetDepthStencilSurface, D3DERR_NOTFOUND);
    dev->depth->obj.refs++;
    *out = &dev->depth->iface;
    return record(D3D8_CALL_GetDepthStencilSurface, D3D_OK);
}

static HRESULT dev_get_back_buffer(IDirect3DDevice8* self, UINT index, DWORD type, IDirect3DSurface8** out)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (out)
        *out = nullptr;
    if (fault_hit(D3D8_CALL_GetBackBuffer, &hr))
        return record(D3D8_CALL_GetBackBuffer, hr, index);
    if (!out || index != 0)
        return record(D3D8_CALL_GetBackBuffer, D3DERR_INVALIDCALL, index);
    dev->backbuffer->obj.refs++;
    *out = &dev->backbuffer->iface;
    return record(D3D8_CALL_GetBackBuffer, D3D_OK, index);
}

static void bind_target_framebuffer(d3d8_device* dev)
{
    if (dev->target == dev->backbuffer) {
        p_glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDrawBuffer(GL_BACK);
        glReadBuffer(GL_BACK);
    } else {
        p_glBindFramebuffer(GL_FRAMEBUFFER, dev->fbo);
        p_glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, dev->target->name, 0);
        GLuint rb = dev->depth && dev->depth->skind == SURFACE_DEPTH ? dev->depth->name : 0;
        bool stencil = rb && dev->depth->format == D3DFMT_D24S8;
        p_glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, rb);
        p_glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, stencil ? rb : 0);
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
    }
    // A new render target brings a viewport that covers it, as on the original device.
    dev->viewport = {0, 0, dev->target->width, dev->target->height, 0.0f, 1.0f};
    glViewport(0, 0, (GLsizei)dev->target->width, (GLsizei)dev->target->height);
    glDepthRange(0, 1);
    dev->mode = MODE_NONE;
}

static HRESULT dev_set_render_target(IDirect3DDevice8* self, IDirect3DSurface8* target, IDirect3DSurface8* depth)
{
    d3d8_device* dev = DEV(self);
    HRESULT hr = D3D_OK;
    if (fault_hit(D3D8_CALL_SetRenderTarget, &hr))
        return record(D3D8_CALL_SetRenderTarget, hr, ptr_flag(target), ptr_flag(depth));
    d3d8_surface* t = target ? (d3d8_surface*)target : dev->target;
    d3d8_surface* d = (d3d8_surface*)depth;
    // GL pairs the window's colour buffer only with the window's depth buffer, and the
    // created targets only with created depth surfaces.
    bool window = t->skind == SURFACE_BACKBUFFER;
    bool ok = is_colour(t) && (!d || (window ? d->skind == SURFACE_IMPLICIT_DEPTH : d->skind == SURFACE_DEPTH));
    if (!ok)
        return record(D3D8_CALL_SetRenderTarget, D3DERR_INVALIDCALL, ptr_flag(target), ptr_flag(depth));
    dev->target = t;
    dev->depth = window ? dev->implicit_depth : d;
    bind_target_framebuffer(dev);
    if (!window && p_glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        dev->target = dev->backbuffer;
        dev->depth = dev->implicit_depth;
        bind_target_framebuffer(dev);
        return record(D3D8_CALL_SetRenderTarget, D3DERR_INVALIDCALL, ptr_flag(target), ptr_flag(depth));
    }
    return record(D3D8_CALL_SetRenderTarget, D3D_OK, ptr_flag(target), ptr_flag(depth));
}

// ---------------------------------------------------------------------------------------
// Object end of life
// ---------------------------------------------------------------------------------------

static void* object_outer(d3d8_object* o)
{
    switch (o->kind) {
    case D3D8_KIND_VERTEXBUFFER:
        return (BYTE*)o - offsetof(d3d8_vb, obj);
    case D3D8_KIND_INDEXBUFFER:
        return (BYTE*)o - offsetof(d3d8_ib, obj);
    case D3D8_KIND_TEXTURE:
        return (BYTE*)o - offsetof(d3d8_tex, obj);
    default:
        return (BYTE*)o - offsetof(d3d8_surface, obj);
    }
}

// Unbinds the object wherever the device holds it, so no draw ever reads freed memory,
// and deletes its GL names. The record itself stays.
static void object_detach(d3d8_object* o)
{
    d3d8_device* dev = o->device;
    if (!dev)
        return;
    void* outer = object_outer(o);
    if (o->kind == D3D8_KIND_VERTEXBUFFER && dev->stream == outer)
        dev->stream = nullptr;
    if (o->kind == D3D8_KIND_INDEXBUFFER && dev->indices == outer)
        dev->indices = nullptr;
    if (o->kind == D3D8_KIND_TEXTURE) {
        d3d8_tex* t = (d3d8_tex*)outer;
        for (int i = 0; i < D3D_STAGES; i++)
            if (dev->textures[i] == t) {
                dev->textures[i] = nullptr;
                dev->dirty |= DIRTY_STAGES;
            }
        glDeleteTextures(1, &t->name);
        t->name = 0;
    }
    if (o->kind == D3D8_KIND_SURFACE) {
        d3d8_surface* s = (d3d8_surface*)outer;
        if (dev->target == s || dev->depth == s) {
            dev->target = dev->backbuffer;
            dev->depth = dev->implicit_depth;
            bind_target_framebuffer(dev);
        }
        if (s->skind == SURFACE_TARGET)
            glDeleteTextures(1, &s->name);
        else if (s->skind == SURFACE_DEPTH)
            p_glDeleteRenderbuffers(1, &s->name);
        s->name = 0;
    }
    object_unlink(o);
    o->device = nullptr;
}

static void object_free(d3d8_object* o)
{
    object_detach(o);
    void* outer = object_outer(o);
    switch (o->kind) {
    case D3D8_KIND_VERTEXBUFFER:
        free(((d3d8_vb*)outer)->data);
        break;
    case D3D8_KIND_INDEXBUFFER:
        free(((d3d8_ib*)outer)->data);
        break;
    case D3D8_KIND_TEXTURE:
        free(((d3d8_tex*)outer)->data);
        free(((d3d8_tex*)outer)->spare);
        break;
    default:
        free(((d3d8_surface*)outer)->lock_data);
        break;
    }
    free(outer);
}

static void object_orphan(d3d8_object* o) { object_detach(o); }

extern const IDirect3DDevice8Vtbl d3d8_device_vtbl = {
    dev_addref,
    dev_release,
    dev_reset,
    dev_present,
    dev_get_viewport,
    dev_clear,
    dev_begin_scene,
    dev_end_scene,
    dev_set_render_state,
    dev_get_render_state,
    dev_set_texture_stage_state,
    dev_get_texture_stage_state,
    dev_set_texture,
    dev_set_material,
    dev_get_material,
    dev_set_transform,
    dev_get_transform,
    dev_set_light,
    dev_light_enable,
    dev_create_vertex_buffer,
    dev_create_index_buffer,
    dev_create_texture,
    dev_create_render_target,
    dev_create_depth_stencil_surface,
    dev_get_render_target,
    dev_get_depth_stencil_surface,
    dev_set_render_target,
    dev_get_back_buffer,
    dev_set_stream_source,
    dev_set_vertex_shader,
    dev_set_indices,
    dev_draw_primitive,
    dev_draw_indexed_primitive,
};

// ---------------------------------------------------------------------------------------
// Test hooks
// ---------------------------------------------------------------------------------------

uint32_t d3d8_live_objects(D3DPOOL pool)
{
    uint32_t n = 0;
    if (current_device)
        for (d3d8_object* o = current_device->objects.next; o != &current_device->objects; o = o->next)
            n += o->pool == pool && o->refs;
    return n;
}

void d3d8_set_texture_pitch_pad(uint32_t bytes) { texture_pitch_pad = bytes & ~3u; }

D3DCOLOR d3d8_read_pixel(IDirect3DDevice8* device, int32_t x, int32_t y)
{
    d3d8_device* dev = DEV(device);
    if (!dev || x < 0 || y < 0 || (uint32_t)x >= dev->target->width || (uint32_t)y >= dev->target->height)
        return 0;
    uint32_t px = 0;
    if (bind_read(dev, dev->target))
        glReadPixels(x, (GLint)(dev->target->height - 1 - (uint32_t)y), 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, &px);
    unbind_read(dev);
    return px;
}

float d3d8_gl_shininess(IDirect3DDevice8* device) { return device ? DEV(device)->shininess : 0.0f; }
