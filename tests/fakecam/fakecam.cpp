// LD_PRELOAD library that makes /dev/video2 look like a V4L2 capture camera
// with memory-mapped streaming, so OpenCV's V4L2 back end (and anything built
// on it) can be tested on machines without a camera.
//
// The descriptor handed out for /dev/video2 is a memfd: the kernel then does
// mmap, close and fcntl on it for real, and besides open only ioctl, select
// and poll need faking (close just drops our state). Every other /dev/video*
// path looks absent so OpenCV cannot stumble on a real device; everything
// else goes straight to libc.
//
// Environment (read at each open of /dev/video2):
//   FAKECAM_SIZE=WxH           default 640x480 (width must be even)
//   FAKECAM_FORMAT=BGR24|YUYV  default BGR24
//   FAKECAM_FPS=N              default 30
//   FAKECAM_ABSENT=1           /dev/video2 is absent too
//   FAKECAM_UNPLUG_AFTER=N     unplug once N frames were dequeued
//   FAKECAM_REPLUG_FILE=path   while unplugged, opening works again if path exists
//   FAKECAM_STALL=1            streaming starts but no frame ever arrives
//   FAKECAM_LOG=path           one line per event: open, streamon, frame N,
//                              streamoff, close, unplug
#undef _FORTIFY_SOURCE
#include "pattern.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <mutex>

namespace {

template <typename F> F real(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

constexpr int64_t kForever = INT64_MAX;
constexpr int kMaxBuffers = 8;
constexpr int kMaxDevices = 4;

int64_t now_ns()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

long env_long(const char *name, long fallback)
{
    const char *s = getenv(name);
    return s && *s ? strtol(s, nullptr, 10) : fallback;
}

void log_event(const char *fmt, ...)
{
    const char *path = getenv("FAKECAM_LOG");
    if (!path || !*path)
        return;
    char line[64];
    va_list ap;
    va_start(ap, fmt);
    int n = std::clamp(vsnprintf(line, sizeof line - 1, fmt, ap), 0, int(sizeof line) - 2);
    va_end(ap);
    line[n++] = '\n';
    // One O_APPEND write per line: nothing is buffered if the process is killed.
    static auto real_open = real<int (*)(const char *, int, ...)>("open");
    static auto real_close = real<int (*)(int)>("close");
    int fd = real_open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ssize_t ignored = write(fd, line, size_t(n));
    (void)ignored;
    real_close(fd);
}

struct Device {
    int fd = -1;
    bool stall = false;
    bool unplugged = false;
    long unplug_after = -1;
    v4l2_pix_format pix{};
    int64_t period_ns = 0;
    unsigned fps = 0;

    int buffer_count = 0;
    size_t buffer_stride = 0;
    unsigned char *mapping = nullptr;  // our own view of the memfd, to render into
    size_t mapping_size = 0;
    bool queued[kMaxBuffers] = {};
    int queue[kMaxBuffers] = {};  // FIFO of queued buffer indices
    int queue_len = 0;

    bool streaming = false;
    int64_t next_frame_due = 0;
    unsigned frames_dequeued = 0;
};

std::mutex g_mutex;
Device g_devices[kMaxDevices];
bool g_unplugged = false;  // a device was pulled; opening fails until replugged

Device *find_device(int fd)
{
    if (fd < 0)
        return nullptr;
    for (Device &d : g_devices)
        if (d.fd == fd)
            return &d;
    return nullptr;
}

void unplug(Device &d)
{
    d.unplugged = true;
    d.streaming = false;
    g_unplugged = true;
    log_event("unplug");
}

// The unplug lands when the program next waits for or takes a frame, not
// right after the last one: OpenCV re-queues each buffer straight after
// dequeuing it, and a cable pulled between frames lets that succeed.
void unplug_if_due(Device &d)
{
    if (!d.unplugged && d.streaming && d.unplug_after >= 0 &&
        d.frames_dequeued >= unsigned(d.unplug_after))
        unplug(d);
}

void release_buffers(Device &d)
{
    if (d.mapping)
        munmap(d.mapping, d.mapping_size);
    d.mapping = nullptr;
    d.mapping_size = 0;
    d.buffer_count = 0;
    d.queue_len = 0;
    std::fill(std::begin(d.queued), std::end(d.queued), false);
}

bool parse_config(Device &d)
{
    int width = 640, height = 480;
    if (const char *size = getenv("FAKECAM_SIZE"))
        if (sscanf(size, "%dx%d", &width, &height) != 2 || width < 2 || width % 2 || height < 1)
            return false;
    const char *format = getenv("FAKECAM_FORMAT");
    bool yuyv = format && strcmp(format, "YUYV") == 0;
    if (format && !yuyv && strcmp(format, "BGR24") != 0)
        return false;
    long fps = env_long("FAKECAM_FPS", 30);
    if (fps <= 0)
        return false;

    d.pix = v4l2_pix_format{};
    d.pix.width = unsigned(width);
    d.pix.height = unsigned(height);
    d.pix.pixelformat = yuyv ? V4L2_PIX_FMT_YUYV : V4L2_PIX_FMT_BGR24;
    d.pix.field = V4L2_FIELD_NONE;
    d.pix.bytesperline = unsigned(width) * (yuyv ? 2 : 3);
    d.pix.sizeimage = d.pix.bytesperline * unsigned(height);
    d.pix.colorspace = V4L2_COLORSPACE_SRGB;
    d.fps = unsigned(fps);
    d.period_ns = 1000000000 / fps;
    d.stall = env_long("FAKECAM_STALL", 0) != 0;
    d.unplug_after = env_long("FAKECAM_UNPLUG_AFTER", -1);
    return true;
}

bool replug_file_exists()
{
    const char *path = getenv("FAKECAM_REPLUG_FILE");
    return path && *path && access(path, F_OK) == 0;
}

constexpr int kNotOurs = -2;

// Returns the fd to hand out, -1 with errno set, or kNotOurs.
int open_video(const char *path, int flags)
{
    if (!path || strncmp(path, "/dev/video", 10) != 0)
        return kNotOurs;
    auto fail = [](int err) {
        errno = err;
        return -1;
    };
    if (strcmp(path, "/dev/video2") != 0 || env_long("FAKECAM_ABSENT", 0) != 0)
        return fail(ENOENT);

    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_unplugged) {
        if (!replug_file_exists())
            return fail(ENOENT);
        g_unplugged = false;
    }
    Device *slot = std::find_if(std::begin(g_devices), std::end(g_devices),
                                [](const Device &d) { return d.fd < 0; });
    if (slot == std::end(g_devices))
        return fail(EBUSY);
    Device fresh;
    if (!parse_config(fresh))
        return fail(EINVAL);
    int fd = memfd_create("fakecam-video2", (flags & O_CLOEXEC) ? MFD_CLOEXEC : 0);
    if (fd < 0)
        return -1;
    // The memfd starts O_RDWR; carry O_NONBLOCK over so DQBUF can honour it.
    if (flags & O_NONBLOCK)
        fcntl(fd, F_SETFL, O_NONBLOCK);
    fresh.fd = fd;
    *slot = fresh;
    log_event("open");
    return fd;
}

// What poll would report for the device now; *wake is lowered to when that
// may change on its own.
short device_events(Device &d, int64_t now, int64_t *wake)
{
    unplug_if_due(d);
    if (d.unplugged)
        return POLLERR | POLLHUP | POLLPRI;
    if (!d.streaming)
        return POLLERR;
    if (d.stall || d.queue_len == 0)
        return 0;
    if (now >= d.next_frame_due)
        return POLLIN | POLLRDNORM;
    *wake = std::min(*wake, d.next_frame_due);
    return 0;
}

void render(const Device &d, int index)
{
    unsigned char *out = d.mapping + size_t(index) * d.buffer_stride;
    const int w = int(d.pix.width), h = int(d.pix.height);
    const unsigned frame = d.frames_dequeued;
    for (int y = 0; y < h; ++y) {
        unsigned char *row = out + size_t(y) * d.pix.bytesperline;
        if (d.pix.pixelformat == V4L2_PIX_FMT_YUYV)
            fakecam_pattern_yuyv_row(frame, w, h, y, row);
        else
            for (int x = 0; x < w; ++x)
                fakecam_pattern_bgr(frame, w, h, x, y, row + 3 * x);
    }
}

void describe_buffer(const Device &d, int index, v4l2_buffer *b)
{
    *b = v4l2_buffer{};
    b->index = uint32_t(index);
    b->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b->memory = V4L2_MEMORY_MMAP;
    b->field = V4L2_FIELD_NONE;
    b->length = d.pix.sizeimage;
    b->m.offset = uint32_t(size_t(index) * d.buffer_stride);
    b->flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC |
               (d.queued[index] ? V4L2_BUF_FLAG_QUEUED : 0);
}

int request_buffers(Device &d, v4l2_requestbuffers *req)
{
    if (req->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || req->memory != V4L2_MEMORY_MMAP)
        return EINVAL;
    if (d.streaming)
        return EBUSY;
    release_buffers(d);
    req->capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
    if (req->count == 0)
        return 0;
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    d.buffer_count = int(std::clamp<uint32_t>(req->count, 2, kMaxBuffers));
    d.buffer_stride = (d.pix.sizeimage + page - 1) / page * page;
    d.mapping_size = d.buffer_stride * size_t(d.buffer_count);
    // Never shrink the memfd: the program may still have old buffers mapped,
    // and truncating under them would SIGBUS it.
    struct stat st;
    if (fstat(d.fd, &st) != 0 ||
        (size_t(st.st_size) < d.mapping_size && ftruncate(d.fd, off_t(d.mapping_size)) != 0))
        return ENOMEM;
    void *m = mmap(nullptr, d.mapping_size, PROT_READ | PROT_WRITE, MAP_SHARED, d.fd, 0);
    if (m == MAP_FAILED) {
        d.buffer_count = 0;
        return ENOMEM;
    }
    d.mapping = static_cast<unsigned char *>(m);
    req->count = uint32_t(d.buffer_count);
    return 0;
}

int queue_buffer(Device &d, v4l2_buffer *b)
{
    if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->memory != V4L2_MEMORY_MMAP ||
        b->index >= uint32_t(d.buffer_count) || d.queued[b->index])
        return EINVAL;
    d.queued[b->index] = true;
    d.queue[d.queue_len++] = int(b->index);
    describe_buffer(d, int(b->index), b);
    return 0;
}

int dequeue_buffer(Device &d, v4l2_buffer *b)
{
    if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || !d.streaming)
        return EINVAL;
    int64_t now = now_ns();
    int64_t unused = kForever;
    if (!(device_events(d, now, &unused) & POLLIN))
        return EAGAIN;
    const int index = d.queue[0];
    std::copy(d.queue + 1, d.queue + d.queue_len, d.queue);
    --d.queue_len;
    d.queued[index] = false;
    render(d, index);
    describe_buffer(d, index, b);
    b->flags |= V4L2_BUF_FLAG_DONE;
    b->bytesused = d.pix.sizeimage;
    b->sequence = d.frames_dequeued;
    b->timestamp.tv_sec = now / 1000000000;
    b->timestamp.tv_usec = (now % 1000000000) / 1000;
    log_event("frame %u", d.frames_dequeued);
    ++d.frames_dequeued;
    // A slow reader gets the next frame at once but no backlog builds up,
    // like a sensor that overwrites frames nobody collected.
    d.next_frame_due = std::max(d.next_frame_due + d.period_ns, now);
    return 0;
}

int set_streaming(Device &d, const int *type, bool on)
{
    if (*type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return EINVAL;
    if (on && d.buffer_count == 0)
        return EINVAL;
    if (on == d.streaming)
        return 0;
    d.streaming = on;
    if (on) {
        d.next_frame_due = now_ns() + d.period_ns;  // the sensor needs a frame time first
        log_event("streamon");
    } else {
        // Stopping hands every buffer back to the program, as vb2 does.
        d.queue_len = 0;
        std::fill(std::begin(d.queued), std::end(d.queued), false);
        log_event("streamoff");
    }
    return 0;
}

int handle_ioctl(Device &d, unsigned long request, void *arg)
{
    if (request == VIDIOC_DQBUF)
        unplug_if_due(d);
    if (d.unplugged)
        return ENODEV;
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto *cap = static_cast<v4l2_capability *>(arg);
        *cap = v4l2_capability{};
        snprintf(reinterpret_cast<char *>(cap->driver), sizeof cap->driver, "fakecam");
        snprintf(reinterpret_cast<char *>(cap->card), sizeof cap->card, "Fake Camera");
        snprintf(reinterpret_cast<char *>(cap->bus_info), sizeof cap->bus_info, "platform:fakecam");
        cap->version = (6u << 16) | (1u << 8);
        cap->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto *f = static_cast<v4l2_fmtdesc *>(arg);
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || f->index != 0)
            return EINVAL;
        const uint32_t index = f->index, type = f->type;
        *f = v4l2_fmtdesc{};
        f->index = index;
        f->type = type;
        f->pixelformat = d.pix.pixelformat;
        snprintf(reinterpret_cast<char *>(f->description), sizeof f->description, "%s",
                 d.pix.pixelformat == V4L2_PIX_FMT_YUYV ? "YUYV 4:2:2" : "24-bit BGR 8-8-8");
        return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT: {
        // A fixed-mode sensor: whatever is asked for, this is what it does.
        auto *f = static_cast<v4l2_format *>(arg);
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        if (request == VIDIOC_S_FMT && d.buffer_count > 0)
            return EBUSY;
        f->fmt.pix = d.pix;
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto *s = static_cast<v4l2_frmsizeenum *>(arg);
        if (s->index != 0 || s->pixel_format != d.pix.pixelformat)
            return EINVAL;
        s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        s->discrete.width = d.pix.width;
        s->discrete.height = d.pix.height;
        return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto *i = static_cast<v4l2_frmivalenum *>(arg);
        if (i->index != 0 || i->pixel_format != d.pix.pixelformat || i->width != d.pix.width ||
            i->height != d.pix.height)
            return EINVAL;
        i->type = V4L2_FRMIVAL_TYPE_DISCRETE;
        i->discrete = v4l2_fract{1, d.fps};
        return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
        auto *p = static_cast<v4l2_streamparm *>(arg);
        if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        p->parm.capture = v4l2_captureparm{};
        p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        p->parm.capture.timeperframe = v4l2_fract{1, d.fps};
        p->parm.capture.readbuffers = kMaxBuffers;
        return 0;
    }
    case VIDIOC_ENUMINPUT: {
        auto *in = static_cast<v4l2_input *>(arg);
        if (in->index != 0)
            return EINVAL;
        *in = v4l2_input{};
        snprintf(reinterpret_cast<char *>(in->name), sizeof in->name, "Camera 0");
        in->type = V4L2_INPUT_TYPE_CAMERA;
        return 0;
    }
    case VIDIOC_G_INPUT:
        *static_cast<int *>(arg) = 0;
        return 0;
    case VIDIOC_S_INPUT:
        return *static_cast<int *>(arg) == 0 ? 0 : EINVAL;
    case VIDIOC_REQBUFS:
        return request_buffers(d, static_cast<v4l2_requestbuffers *>(arg));
    case VIDIOC_QUERYBUF: {
        auto *b = static_cast<v4l2_buffer *>(arg);
        if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->index >= uint32_t(d.buffer_count))
            return EINVAL;
        describe_buffer(d, int(b->index), b);
        return 0;
    }
    case VIDIOC_QBUF:
        return queue_buffer(d, static_cast<v4l2_buffer *>(arg));
    case VIDIOC_DQBUF:
        return dequeue_buffer(d, static_cast<v4l2_buffer *>(arg));
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
        return set_streaming(d, static_cast<const int *>(arg), request == VIDIOC_STREAMON);
    case VIDIOC_QUERYCTRL:
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL:
        return EINVAL;  // the sensor has no controls
    default:
        return ENOTTY;  // what the V4L2 core answers for an ioctl a driver lacks
    }
}

int blocking_dqbuf(int fd, void *arg)
{
    // Only reached for descriptors opened without O_NONBLOCK.
    for (;;) {
        int64_t wake = kForever;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            Device *d = find_device(fd);
            if (!d)
                return EBADF;
            int err = handle_ioctl(*d, VIDIOC_DQBUF, arg);
            if (err != EAGAIN)
                return err;
            device_events(*d, now_ns(), &wake);
        }
        int64_t wait = wake == kForever ? 10000000 : std::max<int64_t>(wake - now_ns(), 0);
        timespec ts{time_t(wait / 1000000000), long(wait % 1000000000)};
        nanosleep(&ts, nullptr);
    }
}

// Poll bits for each descriptor, as the kernel's select maps them.
constexpr short kSelectRead = POLLIN | POLLRDNORM | POLLRDBAND | POLLHUP | POLLERR;
constexpr short kSelectWrite = POLLOUT | POLLWRNORM | POLLWRBAND | POLLERR;
constexpr short kSelectExcept = POLLPRI;

int64_t deadline_after(int64_t timeout_ns)
{
    return timeout_ns < 0 ? kForever : now_ns() + timeout_ns;
}

// Shared by poll and ppoll: real descriptors go to the real ppoll (fake ones
// are masked out with fd = -1), fake ones are answered here. The real call
// doubles as the sleep until the next fake frame is due or the deadline.
int fake_aware_poll(pollfd *fds, nfds_t n, int64_t timeout_ns, const sigset_t *sigmask)
{
    static auto real_ppoll =
        real<int (*)(pollfd *, nfds_t, const timespec *, const sigset_t *)>("ppoll");
    // Beyond this many descriptors fake ones are not recognised; nothing here
    // polls that many.
    constexpr nfds_t kMax = 256;
    bool fake[kMax] = {};
    bool any_fake = false;
    if (n <= kMax) {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (nfds_t i = 0; i < n; ++i)
            any_fake |= fake[i] = find_device(fds[i].fd) != nullptr;
    }
    if (!any_fake) {
        timespec ts{time_t(timeout_ns / 1000000000), long(timeout_ns % 1000000000)};
        return real_ppoll(fds, n, timeout_ns < 0 ? nullptr : &ts, sigmask);
    }
    pollfd real_fds[kMax];
    short fake_revents[kMax] = {};
    const int64_t deadline = deadline_after(timeout_ns);
    for (;;) {
        int fake_ready = 0;
        const int64_t now = now_ns();
        int64_t wake = deadline;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            for (nfds_t i = 0; i < n; ++i) {
                real_fds[i] = fds[i];
                if (!fake[i])
                    continue;
                real_fds[i].fd = -1;
                Device *d = find_device(fds[i].fd);
                short ev = d ? device_events(*d, now, &wake) : POLLNVAL;
                fake_revents[i] = short(ev & (fds[i].events | POLLERR | POLLHUP | POLLNVAL));
                fake_ready += fake_revents[i] != 0;
            }
        }
        const bool done = fake_ready > 0 || now >= deadline;
        int64_t wait = done ? 0 : wake - now;
        timespec ts{time_t(wait / 1000000000), long(wait % 1000000000)};
        int r = real_ppoll(real_fds, n, wake == kForever && !done ? nullptr : &ts, sigmask);
        if (r < 0)
            return r;
        if (r > 0 || done) {
            for (nfds_t i = 0; i < n; ++i)
                fds[i].revents = fake[i] ? fake_revents[i] : real_fds[i].revents;
            return r + fake_ready;
        }
    }
}

} // namespace

extern "C" {

#define FAKECAM_OPEN_MODE(flags)                                                                   \
    mode_t mode = 0;                                                                               \
    if (((flags) & O_CREAT) || ((flags) & O_TMPFILE) == O_TMPFILE) {                               \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        mode = va_arg(ap, mode_t);                                                                 \
        va_end(ap);                                                                                \
    }

int open(const char *path, int flags, ...)
{
    FAKECAM_OPEN_MODE(flags)
    int fd = open_video(path, flags);
    return fd != kNotOurs ? fd : real<int (*)(const char *, int, ...)>("open")(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    FAKECAM_OPEN_MODE(flags)
    int fd = open_video(path, flags);
    return fd != kNotOurs ? fd : real<int (*)(const char *, int, ...)>("open64")(path, flags, mode);
}

int openat(int dirfd, const char *path, int flags, ...)
{
    FAKECAM_OPEN_MODE(flags)
    int fd = open_video(path, flags);
    using Real = int (*)(int, const char *, int, ...);
    return fd != kNotOurs ? fd : real<Real>("openat")(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char *path, int flags, ...)
{
    FAKECAM_OPEN_MODE(flags)
    int fd = open_video(path, flags);
    using Real = int (*)(int, const char *, int, ...);
    return fd != kNotOurs ? fd : real<Real>("openat64")(dirfd, path, flags, mode);
}

// The _FORTIFY_SOURCE entry points that callers compiled with it use instead.
int __open_2(const char *path, int flags)
{
    int fd = open_video(path, flags);
    return fd != kNotOurs ? fd : real<int (*)(const char *, int)>("__open_2")(path, flags);
}

int __open64_2(const char *path, int flags)
{
    int fd = open_video(path, flags);
    return fd != kNotOurs ? fd : real<int (*)(const char *, int)>("__open64_2")(path, flags);
}

int __openat_2(int dirfd, const char *path, int flags)
{
    int fd = open_video(path, flags);
    using Real = int (*)(int, const char *, int);
    return fd != kNotOurs ? fd : real<Real>("__openat_2")(dirfd, path, flags);
}

int __openat64_2(int dirfd, const char *path, int flags)
{
    int fd = open_video(path, flags);
    using Real = int (*)(int, const char *, int);
    return fd != kNotOurs ? fd : real<Real>("__openat64_2")(dirfd, path, flags);
}

int close(int fd)
{
    static auto real_close = real<int (*)(int)>("close");
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (Device *d = find_device(fd)) {
            release_buffers(*d);
            *d = Device{};
            log_event("close");
        }
    }
    return real_close(fd);
}

int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    int err;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Device *d = find_device(fd);
        if (!d)
            return real<int (*)(int, unsigned long, ...)>("ioctl")(fd, request, arg);
        err = handle_ioctl(*d, request, arg);
    }
    if (err == EAGAIN && request == VIDIOC_DQBUF && !(fcntl(fd, F_GETFL) & O_NONBLOCK))
        err = blocking_dqbuf(fd, arg);
    if (err == 0)
        return 0;
    errno = err;
    return -1;
}

int poll(pollfd *fds, nfds_t n, int timeout_ms)
{
    return fake_aware_poll(fds, n, timeout_ms < 0 ? -1 : int64_t(timeout_ms) * 1000000, nullptr);
}

int ppoll(pollfd *fds, nfds_t n, const timespec *timeout, const sigset_t *sigmask)
{
    int64_t ns = timeout ? int64_t(timeout->tv_sec) * 1000000000 + timeout->tv_nsec : -1;
    return fake_aware_poll(fds, n, ns, sigmask);
}

int __poll_chk(pollfd *fds, nfds_t n, int timeout_ms, size_t)
{
    return poll(fds, n, timeout_ms);
}

int __ppoll_chk(pollfd *fds, nfds_t n, const timespec *timeout, const sigset_t *sigmask, size_t)
{
    return ppoll(fds, n, timeout, sigmask);
}

// select is served by the same poll logic: the sets are turned into pollfds
// and back, mapping bits the way the kernel's own select does.
int select(int nfds, fd_set *rd, fd_set *wr, fd_set *ex, timeval *tv)
{
    static auto real_select = real<int (*)(int, fd_set *, fd_set *, fd_set *, timeval *)>("select");
    bool any_fake = false;
    if (nfds > 0 && nfds <= FD_SETSIZE) {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (const Device &d : g_devices)
            any_fake |= d.fd >= 0 && d.fd < nfds &&
                        ((rd && FD_ISSET(d.fd, rd)) || (wr && FD_ISSET(d.fd, wr)) ||
                         (ex && FD_ISSET(d.fd, ex)));
    }
    if (!any_fake)
        return real_select(nfds, rd, wr, ex, tv);

    pollfd fds[FD_SETSIZE];
    nfds_t n = 0;
    for (int fd = 0; fd < nfds; ++fd) {
        short events = short(((rd && FD_ISSET(fd, rd)) ? POLLIN : 0) |
                             ((wr && FD_ISSET(fd, wr)) ? POLLOUT : 0) |
                             ((ex && FD_ISSET(fd, ex)) ? POLLPRI : 0));
        if (events)
            fds[n++] = pollfd{fd, events, 0};
    }
    const int64_t timeout_ns =
        tv ? int64_t(tv->tv_sec) * 1000000000 + int64_t(tv->tv_usec) * 1000 : -1;
    const int64_t deadline = deadline_after(timeout_ns);
    int r = fake_aware_poll(fds, n, timeout_ns, nullptr);
    if (r < 0)
        return r;
    for (nfds_t i = 0; i < n; ++i)
        if (fds[i].revents & POLLNVAL) {
            errno = EBADF;
            return -1;
        }
    if (tv) {  // Linux reports the time left
        int64_t left = std::max<int64_t>(deadline - now_ns(), 0);
        tv->tv_sec = time_t(left / 1000000000);
        tv->tv_usec = suseconds_t(left % 1000000000 / 1000);
    }
    for (fd_set *set : {rd, wr, ex})
        if (set)
            FD_ZERO(set);
    int count = 0;
    for (nfds_t i = 0; i < n; ++i) {
        const pollfd &p = fds[i];
        if (rd && (p.events & POLLIN) && (p.revents & kSelectRead))
            FD_SET(p.fd, rd), ++count;
        if (wr && (p.events & POLLOUT) && (p.revents & kSelectWrite))
            FD_SET(p.fd, wr), ++count;
        if (ex && (p.events & POLLPRI) && (p.revents & kSelectExcept))
            FD_SET(p.fd, ex), ++count;
    }
    return count;
}

} // extern "C"
