// The panorama stitching library stand-in. Tracking: the luma of the last
// shot (scaled to the preview size) and of each preview frame are reduced to
// column and row means; the shift that best lines the profiles up (least
// mean difference over their overlap) is the camera's motion. The next shot
// is due when the motion reaches half the frame in the panning direction.
// Stitching: the shots at the offsets tracked, each over the ones before,
// cut to the rows all of them cover.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "plat/panoramax.h"

namespace {

enum class Stage { Created, Configured, Started, Capturing };

struct Shot {
    std::vector<uint8_t> planes;  // Y, U, V at the shot size
    int x = 0, y = 0;             // in shot pixels
};

struct Job {
    PxAllocator allocator{};
    Stage stage = Stage::Created;
    int shotW = 0, shotH = 0, previewW = 0, previewH = 0, target = 0;
    std::vector<Shot> shots;
    // The last shot's luma at the preview size, and its column means.
    std::vector<uint8_t> refLuma;
    std::vector<double> refColumns;
    int direction = 0;  // 1 right, 2 left, 0 not known yet
    int lastX = 0, lastY = 0;
    int32_t lastStatus = PX_STATUS_INVALID;
};

Job* JobOf(PxHandle handle) { return static_cast<Job*>(handle); }

bool ValidFrame(const PxFrame* f, int w, int h)
{
    return f && f->format == 1 && f->width == w && f->height == h && f->y && f->u && f->v;
}

// The luma scaled to w x h by sampling.
std::vector<uint8_t> Scaled(const uint8_t* y, int fw, int fh, int w, int h)
{
    std::vector<uint8_t> out(static_cast<size_t>(w) * h);
    for (int r = 0; r < h; ++r) {
        const uint8_t* line = y + static_cast<size_t>(r * fh / h) * fw;
        for (int c = 0; c < w; ++c)
            out[static_cast<size_t>(r) * w + c] = line[c * fw / w];
    }
    return out;
}

// Means of the columns, or of the rows over the columns from..to.
std::vector<double> Columns(const std::vector<uint8_t>& luma, int w, int h)
{
    std::vector<double> out(static_cast<size_t>(w), 0.0);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            out[static_cast<size_t>(c)] += luma[static_cast<size_t>(r) * w + c] / static_cast<double>(h);
    return out;
}
std::vector<double> Rows(const std::vector<uint8_t>& luma, int w, int h, int from, int to)
{
    std::vector<double> out(static_cast<size_t>(h), 0.0);
    for (int r = 0; r < h; ++r)
        for (int c = from; c < to; ++c)
            out[static_cast<size_t>(r)] += luma[static_cast<size_t>(r) * w + c] / static_cast<double>(to - from);
    return out;
}

// The shift d (|d| <= range) for which now[i] best matches ref[i + d], and
// the mean difference there; the overlap kept is at least a quarter.
int BestShift(const std::vector<double>& ref, const std::vector<double>& now, int range, double* error)
{
    const int n = static_cast<int>(ref.size());
    int best = 0;
    *error = std::numeric_limits<double>::max();
    for (int d = -range; d <= range; ++d) {
        int from = std::max(0, -d), to = std::min(n, n - d);
        if (to - from < n / 4)
            continue;
        double sum = 0;
        for (int i = from; i < to; ++i)
            sum += std::fabs(now[static_cast<size_t>(i)] - ref[static_cast<size_t>(i + d)]);
        double mean = sum / (to - from);
        if (mean < *error) {
            *error = mean;
            best = d;
        }
    }
    return best;
}

double Spread(const std::vector<double>& v)
{
    double mean = 0, var = 0;
    for (double x : v)
        mean += x / v.size();
    for (double x : v)
        var += (x - mean) * (x - mean) / v.size();
    return std::sqrt(var);
}

void FillStatus(const Job* job, int32_t status, int x, int y, PxStatus* out)
{
    if (!out)
        return;
    std::memset(out, 0, sizeof *out);
    out->target = job->target;
    out->added = static_cast<int32_t>(job->shots.size());
    out->direction = job->direction == 2 ? 2 : 1;
    out->x = x;
    out->y = y;
    out->status = status;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int px_init(const PxAllocator* allocator, int, int, PxHandle* handle)
{
    if (!allocator || !allocator->alloc || !allocator->free || !handle)
        return PX_ERR_PARAMETER;
    auto* job = new (std::nothrow) Job;
    if (!job)
        return PX_ERR_MEMORY;
    job->allocator = *allocator;
    *handle = job;
    return PX_OK;
}

__attribute__((visibility("default"))) int px_free(PxHandle handle)
{
    delete JobOf(handle);
    return PX_OK;
}

__attribute__((visibility("default"))) int px_setParams(PxHandle handle, int shotW, int shotH, int shotFormat,
                                                        int previewW, int previewH, int previewFormat, int shots,
                                                        int, float, int)
{
    Job* job = JobOf(handle);
    if (!job)
        return PX_ERR_PARAMETER;
    if (job->stage != Stage::Created && job->stage != Stage::Configured)
        return PX_ERR_SEQUENCE;
    if (shotW < 16 || shotH < 16 || previewW < 16 || previewH < 16 || shotW % 2 || shotH % 2 || previewW % 2 ||
        previewH % 2 || shotFormat != 1 || previewFormat != 1 || shots < 1 || shots > 16 || shotW > 4096 ||
        shotH > 4096 || previewW > shotW || previewH > shotH)
        return PX_ERR_PARAMETER;
    job->shotW = shotW, job->shotH = shotH, job->previewW = previewW, job->previewH = previewH;
    job->target = shots;
    job->stage = Stage::Configured;
    return PX_OK;
}

__attribute__((visibility("default"))) int px_start(PxHandle handle)
{
    Job* job = JobOf(handle);
    if (!job)
        return PX_ERR_PARAMETER;
    if (job->stage == Stage::Created)
        return PX_ERR_SEQUENCE;
    job->stage = Stage::Started;
    return PX_OK;
}

__attribute__((visibility("default"))) int px_abort(PxHandle handle)
{
    Job* job = JobOf(handle);
    if (!job)
        return PX_ERR_PARAMETER;
    job->shots.clear();
    job->refColumns.clear();
    job->refLuma.clear();
    job->direction = 0;
    job->lastX = job->lastY = 0;
    job->lastStatus = PX_STATUS_INVALID;
    if (job->stage != Stage::Created)
        job->stage = Stage::Configured;
    return PX_OK;
}

__attribute__((visibility("default"))) int px_beginCapture(PxHandle handle, int)
{
    Job* job = JobOf(handle);
    if (!job)
        return PX_ERR_PARAMETER;
    if (job->stage != Stage::Started)
        return PX_ERR_SEQUENCE;
    job->stage = Stage::Capturing;
    return PX_OK;
}

__attribute__((visibility("default"))) int px_handleFrame(PxHandle handle, const PxFrame* frame, int,
                                                          PxStatus* status)
{
    Job* job = JobOf(handle);
    if (!job || !status)
        return PX_ERR_PARAMETER;
    if (job->stage != Stage::Capturing)
        return PX_ERR_SEQUENCE;
    if (!ValidFrame(frame, job->previewW, job->previewH))
        return PX_ERR_PARAMETER;
    if (job->shots.empty() || static_cast<int>(job->shots.size()) >= job->target) {
        // Before the first shot there is nothing to follow.
        FillStatus(job, PX_STATUS_VALID, 0, 0, status);
        return PX_OK;
    }
    const int w = job->previewW, h = job->previewH;
    std::vector<uint8_t> luma = Scaled(frame->y, frame->width, frame->height, w, h);
    std::vector<double> columns = Columns(luma, w, h);
    double errX = 0, errY = 0;
    const int dx = BestShift(job->refColumns, columns, w * 3 / 4, &errX);
    // Vertically: the rows of the part both pictures show.
    const int from = std::max(0, -dx), to = std::min(w, w - dx);
    int dy = 0;
    if (to - from >= w / 4) {
        std::vector<double> rows = Rows(luma, w, h, from, to);
        std::vector<double> refRows = Rows(job->refLuma, w, h, from + dx, to + dx);
        dy = BestShift(refRows, rows, h / 4, &errY);
    }
    // A flat picture or no good match: the motion cannot be followed.
    const double spread = std::max(Spread(job->refColumns), 1e-9);
    int32_t state = PX_STATUS_VALID;
    if (Spread(columns) < 1.0 || spread < 1.0 || errX > spread * 0.5) {
        state = PX_STATUS_INVALID;
    } else {
        if (job->direction == 0 && std::abs(dx) > job->previewW / 16)
            job->direction = dx > 0 ? 1 : 2;
        const int step = job->previewW / 2, slack = std::max(2, job->previewW / 32);
        const int along = job->direction == 2 ? -dx : dx;
        if (job->direction != 0 && std::abs(along - step) <= slack)
            state = job->lastStatus >= PX_STATUS_POSITIONED && std::abs(dx - job->lastX) <= slack &&
                            std::abs(dy - job->lastY) <= slack
                        ? PX_STATUS_STEADY
                        : PX_STATUS_POSITIONED;
    }
    job->lastX = dx;
    job->lastY = dy;
    job->lastStatus = state;
    FillStatus(job, state, dx, dy, status);
    return PX_OK;
}

__attribute__((visibility("default"))) int px_addFrame(PxHandle handle, const PxFrame* frame, int, PxStatus* status)
{
    Job* job = JobOf(handle);
    if (!job || !status)
        return PX_ERR_PARAMETER;
    if (job->stage != Stage::Capturing || static_cast<int>(job->shots.size()) >= job->target)
        return PX_ERR_SEQUENCE;
    if (!ValidFrame(frame, job->shotW, job->shotH))
        return PX_ERR_PARAMETER;
    if (!job->shots.empty() && job->lastStatus == PX_STATUS_INVALID)
        return PX_ERR_DIRECTION;
    const size_t n = static_cast<size_t>(job->shotW) * job->shotH;
    Shot shot;
    try {
        shot.planes.resize(n * 3 / 2);
    } catch (const std::bad_alloc&) {
        return PX_ERR_MEMORY;
    }
    std::memcpy(shot.planes.data(), frame->y, n);
    std::memcpy(shot.planes.data() + n, frame->u, n / 4);
    std::memcpy(shot.planes.data() + n + n / 4, frame->v, n / 4);
    if (!job->shots.empty()) {
        // The motion since the last shot, in shot pixels (even, for the chroma).
        const Shot& last = job->shots.back();
        shot.x = last.x + (job->lastX * job->shotW / job->previewW) / 2 * 2;
        shot.y = last.y + (job->lastY * job->shotH / job->previewH) / 2 * 2;
    }
    job->shots.push_back(std::move(shot));
    job->refLuma = Scaled(frame->y, job->shotW, job->shotH, job->previewW, job->previewH);
    job->refColumns = Columns(job->refLuma, job->previewW, job->previewH);
    job->lastX = job->lastY = 0;
    const bool done = static_cast<int>(job->shots.size()) == job->target;
    job->lastStatus = done ? PX_STATUS_STEADY : PX_STATUS_VALID;
    FillStatus(job, job->lastStatus, 0, 0, status);
    return PX_OK;
}

__attribute__((visibility("default"))) int px_createPanorama(PxHandle handle)
{
    Job* job = JobOf(handle);
    if (!job)
        return PX_ERR_PARAMETER;
    return job->shots.empty() ? PX_ERR_NO_IMAGE : PX_OK;
}

__attribute__((visibility("default"))) int px_getPanoramaImage(PxHandle handle, PxImage* image, int* width,
                                                               int* height)
{
    Job* job = JobOf(handle);
    if (!job || !image)
        return PX_ERR_PARAMETER;
    if (job->shots.empty())
        return PX_ERR_NO_IMAGE;
    int left = 0, right = 0, top = std::numeric_limits<int>::min(), bottom = std::numeric_limits<int>::max();
    for (const Shot& s : job->shots) {
        left = std::min(left, s.x);
        right = std::max(right, s.x + job->shotW);
        top = std::max(top, s.y);
        bottom = std::min(bottom, s.y + job->shotH);
    }
    const int w = (right - left) & ~1, h = (bottom - top) & ~1;
    if (w < 2 || h < 2 || w > 32768)
        return PX_ERR_IMAGE_SIZE;
    const size_t n = static_cast<size_t>(w) * h;
    auto* data = static_cast<uint8_t*>(job->allocator.alloc(n * 3 / 2));
    if (!data)
        return PX_ERR_MEMORY;
    std::memset(data, 0, n);
    std::memset(data + n, 128, n / 2);
    const size_t sn = static_cast<size_t>(job->shotW) * job->shotH;
    for (const Shot& s : job->shots) {
        const int ox = s.x - left, oy = top - s.y;  // the shot's row oy lands on the picture's row 0
        for (int r = 0; r < h; ++r) {
            const uint8_t* from = s.planes.data() + static_cast<size_t>(r + oy) * job->shotW;
            std::memcpy(data + static_cast<size_t>(r) * w + ox, from, static_cast<size_t>(std::min(job->shotW, w - ox)));
        }
        for (int p = 0; p < 2; ++p) {
            const uint8_t* plane = s.planes.data() + sn + p * sn / 4;
            uint8_t* to = data + n + p * n / 4;
            for (int r = 0; r < h / 2; ++r)
                std::memcpy(to + static_cast<size_t>(r) * (w / 2) + ox / 2,
                            plane + static_cast<size_t>(r + oy / 2) * (job->shotW / 2),
                            static_cast<size_t>(std::min(job->shotW / 2, (w - ox) / 2)));
        }
    }
    *image = {1, w, h, data};
    if (width)
        *width = w;
    if (height)
        *height = h;
    return PX_OK;
}

__attribute__((visibility("default"))) int px_endCapture(PxHandle handle)
{
    Job* job = JobOf(handle);
    if (!job)
        return PX_ERR_PARAMETER;
    if (job->stage != Stage::Capturing)
        return PX_ERR_SEQUENCE;
    job->stage = Stage::Started;
    return PX_OK;
}

}  // extern "C"
