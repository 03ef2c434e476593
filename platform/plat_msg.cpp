// Message queue over SDL events: a fixed ring of messages, filled from the event source only
// when it runs empty, with the quit message made from SDL_QUIT and from SIGINT/SIGTERM.

#include "platform/plat_msg.h"

#include <SDL.h>
#include <csignal>
#include <cstring>

#include "platform/plat_core.h"

// One SDL event gives at most one message per byte of a text event; a batch takes a new
// event only while that much room is left, so no event loses part of its messages.
enum { QUEUE_SIZE = 1024, FILL_MAX = 128, EVENT_MESSAGES_MAX = SDL_TEXTINPUTEVENT_TEXT_SIZE };

static MSG queue[QUEUE_SIZE];
static int queue_head, queue_count;
static volatile sig_atomic_t signal_quit;
static WNDPROC wndproc;
static plat_msg_source_fn source;

// ---- the window layer's hooks ----

void plat_set_wndproc(WNDPROC proc) { wndproc = proc; }

// ---- queue ----

static DWORD now_ms(void)
{
    LARGE_INTEGER c, f;
    QueryPerformanceCounter(&c);
    QueryPerformanceFrequency(&f);
    return f.QuadPart >= 1000 ? (DWORD)(c.QuadPart / (f.QuadPart / 1000)) : 0;
}

static void push(const MSG* m)
{
    // The source is asked only when the queue is empty, so a full queue holds hundreds of
    // posted quit messages already: dropping one more loses nothing.
    if (queue_count == QUEUE_SIZE)
        return;
    queue[(queue_head + queue_count) % QUEUE_SIZE] = *m;
    queue_count++;
}

static void push_quit(int code)
{
    MSG m;
    memset(&m, 0, sizeof(m));
    m.message = WM_QUIT;
    m.wParam = (WPARAM)code;
    m.time = now_ms();
    push(&m);
}

static void on_signal(int sig)
{
    signal_quit = 1;
    signal(sig, SIG_DFL); // a second signal ends a program that no longer pumps
}

// SDL's pending events, pumped once so the batch is bounded.
static int sdl_source(MSG* out, int max)
{
    if (!SDL_WasInit(SDL_INIT_EVENTS))
        return 0;
    SDL_PumpEvents();
    int n = 0;
    SDL_Event ev;
    while (max - n >= EVENT_MESSAGES_MAX && SDL_PeepEvents(&ev, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        if (ev.type == SDL_QUIT) {
            memset(&out[n], 0, sizeof(MSG));
            out[n++].message = WM_QUIT;
        } else {
            n += plat_window_translate(&ev, out + n, max - n);
        }
    }
    return n;
}

static void fill(void)
{
    if (signal_quit) {
        signal_quit = 0;
        push_quit(0);
    }
    if (queue_count)
        return;
    MSG batch[FILL_MAX];
    int n = (source ? source : sdl_source)(batch, FILL_MAX);
    DWORD t = now_ms();
    for (int i = 0; i < n; i++) {
        if (!batch[i].time)
            batch[i].time = t;
        push(&batch[i]);
    }
}

static void take(MSG* msg)
{
    *msg = queue[queue_head];
    queue_head = (queue_head + 1) % QUEUE_SIZE;
    queue_count--;
}

// ---- the Windows-shaped calls ----

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max, UINT remove)
{
    fill();
    if (!queue_count)
        return FALSE;
    if (remove & PM_REMOVE)
        take(msg);
    else
        *msg = queue[queue_head];
    return TRUE;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filter_min, UINT filter_max)
{
    for (;;) {
        fill();
        if (queue_count)
            break;
        if (source || !SDL_WasInit(SDL_INIT_EVENTS))
            Sleep(1);
        else
            SDL_WaitEventTimeout(nullptr, 10);
    }
    take(msg);
    return msg->message != WM_QUIT;
}

BOOL TranslateMessage(const MSG* msg) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg->hwnd)
        return 0;
    WNDPROC proc = wndproc ? wndproc : plat_window_wndproc(msg->hwnd);
    return proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

void PostQuitMessage(int exit_code) { push_quit(exit_code); }

// ---- lifetime and injection ----

static void empty_queue(void)
{
    queue_head = queue_count = 0;
    signal_quit = 0;
}

void plat_msg_setup(void)
{
    empty_queue();
    signal(SIGINT, on_signal);
    signal(SIGTERM, on_signal);
}

void plat_msg_clean(void)
{
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    empty_queue();
}

void plat_set_msg_source(plat_msg_source_fn s) { source = s; }
