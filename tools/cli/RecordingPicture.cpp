#include "cli/RecordingPicture.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <fontconfig/fontconfig.h>
#include <memory>
#include <numeric>

#include "recording/PendingFile.h"
#include "recording/ToolError.h"

namespace {

constexpr unsigned int channels = CodePacket::channels;
constexpr int width = 1400;
constexpr int left = 90;
constexpr int right = 110;
constexpr int top = 50;
constexpr int mapHeight = 576; // 1.5 pixels a channel
constexpr int traceHeight = 90;
constexpr int gap = 60;
constexpr int bottom = 50;

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// The PNG's bytes into the file the picture goes to, so that nothing else
// opens it by name.
struct PngWriter {
    tolmaren_recording::OutputFile& file;
    std::string failure; // the first write's error
};

cairo_status_t writePng(void* closure, const unsigned char* data, unsigned int length) {
    auto* writer = static_cast<PngWriter*>(closure);
    try {
        writer->file.append(data, length);
        return CAIRO_STATUS_SUCCESS;
    } catch (const tolmaren_recording::ToolError& e) {
        writer->failure = e.what();
        return CAIRO_STATUS_WRITE_ERROR;
    }
}

// Blue for negative, white for zero, red for positive, saturating at the limit.
void colour(float value, float limit, unsigned char rgb[3]) {
    const float t = std::clamp(value / limit, -1.0f, 1.0f);
    const auto fade = static_cast<unsigned char>(255 * (1 - std::fabs(t)));
    rgb[0] = t < 0 ? fade : 255;
    rgb[1] = fade;
    rgb[2] = t > 0 ? fade : 255;
}

// The colour scale's limit: a few times the typical column extreme, which
// noise sets, so that noise stays pale and spikes stand out.
float colourLimit(const StretchBins& bins) {
    std::vector<float> extremes;
    for (unsigned int x = 0; x < bins.filledColumns(); ++x)
        for (unsigned int c = 0; c < channels; ++c)
            extremes.push_back(std::max(std::fabs(bins.min(x, c)), std::fabs(bins.max(x, c))));
    if (extremes.empty()) return 1;
    auto middle = extremes.begin() + static_cast<long>(extremes.size() / 2);
    std::nth_element(extremes.begin(), middle, extremes.end());
    return std::max(4 * *middle, 1.0f);
}

// The channels whose largest excursion is biggest, at least `spacing`
// channels apart so that one unit does not fill every trace; in channel
// order.
std::vector<unsigned int> busiestChannels(const StretchBins& bins, unsigned int count) {
    constexpr unsigned int spacing = 8;
    std::vector<float> range(channels, 0);
    for (unsigned int x = 0; x < bins.filledColumns(); ++x)
        for (unsigned int c = 0; c < channels; ++c)
            range[c] = std::max(range[c], bins.max(x, c) - bins.min(x, c));
    std::vector<unsigned int> order(channels);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&range](unsigned int a, unsigned int b) { return range[a] > range[b]; });
    std::vector<unsigned int> chosen;
    for (const unsigned int c : order) {
        const bool apart = std::all_of(chosen.begin(), chosen.end(), [c](unsigned int other) {
            return c + spacing <= other || other + spacing <= c;
        });
        if (apart && chosen.size() < count) chosen.push_back(c);
    }
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

// A round tick step giving about ten ticks: 1, 2 or 5 times a power of ten.
double tickStep(double seconds) {
    const double rough = std::max(seconds, 1e-3) / 10;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double ratio = rough / power;
    return power * (ratio <= 1 ? 1 : ratio <= 2 ? 2 : ratio <= 5 ? 5 : 10);
}

void text(cairo_t* cr, double x, double y, const std::string& words, double size = 13) {
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, words.c_str());
}

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

void drawMap(cairo_t* cr, const StretchBins& bins, float limit) {
    const int columns = static_cast<int>(bins.columns());
    Surface image(cairo_image_surface_create(CAIRO_FORMAT_RGB24, columns, channels),
                  cairo_surface_destroy);
    unsigned char* pixels = cairo_image_surface_get_data(image.get());
    const int stride = cairo_image_surface_get_stride(image.get());
    for (unsigned int c = 0; c < channels; ++c) {
        // Channel 0 at the bottom, as on the shank.
        auto* row = reinterpret_cast<uint32_t*>(pixels + (channels - 1 - c) * stride);
        for (int x = 0; x < columns; ++x) {
            unsigned char rgb[3] = {128, 128, 128};
            if (static_cast<unsigned int>(x) < bins.filledColumns()) {
                const float low = bins.min(x, c), high = bins.max(x, c);
                colour(std::fabs(low) > std::fabs(high) ? low : high, limit, rgb);
            }
            row[x] = (uint32_t(rgb[0]) << 16) | (uint32_t(rgb[1]) << 8) | rgb[2];
        }
    }
    cairo_surface_mark_dirty(image.get());
    cairo_save(cr);
    cairo_translate(cr, left, top);
    cairo_scale(cr, double(width - left - right) / columns, double(mapHeight) / channels);
    cairo_set_source_surface(cr, image.get(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);

    cairo_set_source_rgb(cr, 0, 0, 0);
    for (const unsigned int c : {0u, 96u, 192u, 288u, 383u})
        text(cr, 10, top + mapHeight - (c + 0.5) * mapHeight / channels + 4,
             "ch " + std::to_string(c));
    // The colour bar.
    const int barX = width - right + 20;
    for (int y = 0; y < mapHeight; ++y) {
        unsigned char rgb[3];
        colour(limit * (1 - 2.0f * y / mapHeight), limit, rgb);
        cairo_set_source_rgb(cr, rgb[0] / 255.0, rgb[1] / 255.0, rgb[2] / 255.0);
        cairo_rectangle(cr, barX, top + y, 16, 1);
        cairo_fill(cr);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, barX - 4, top - 6, format("%+.0f uV", limit), 11);
    text(cr, barX - 4, top + mapHeight + 14, format("%+.0f uV", -limit), 11);
}

void drawTraces(cairo_t* cr, const StretchBins& bins, unsigned int count, int y0) {
    const std::vector<unsigned int> chosen = busiestChannels(bins, count);
    float reach = 1;
    for (unsigned int x = 0; x < bins.filledColumns(); ++x)
        for (const unsigned int c : chosen)
            reach = std::max({reach, std::fabs(bins.min(x, c)), std::fabs(bins.max(x, c))});
    const double scale = (traceHeight / 2.0 - 4) / reach;
    const double columnWidth = double(width - left - right) / bins.columns();
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const double middle = y0 + (i + 0.5) * traceHeight;
        cairo_set_source_rgb(cr, 0, 0, 0);
        text(cr, 10, middle + 4, "ch " + std::to_string(chosen[i]));
        cairo_set_source_rgb(cr, 0.1, 0.2, 0.6);
        cairo_set_line_width(cr, std::max(1.0, columnWidth));
        for (unsigned int x = 0; x < bins.filledColumns(); ++x) {
            const double px = left + (x + 0.5) * columnWidth;
            cairo_move_to(cr, px, middle - bins.max(x, chosen[i]) * scale - 0.5);
            cairo_line_to(cr, px, middle - bins.min(x, chosen[i]) * scale + 0.5);
        }
        cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, width - right + 10, y0 + 14, format("+-%.0f uV", reach), 11);
    text(cr, width - right + 10, y0 + 28, "per trace", 11);
}

void drawTimeAxis(cairo_t* cr, const RecordingPicture::Labels& labels, int y) {
    const double plotWidth = width - left - right;
    const double step = tickStep(labels.seconds);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    for (double t = 0; t <= labels.seconds + 1e-9; t += step) {
        const double x = left + t / labels.seconds * plotWidth;
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x, y + 5);
        cairo_stroke(cr);
        text(cr, x - 14, y + 18, format("%.3g s", labels.startSeconds + t), 11);
    }
}

} // namespace

void RecordingPicture::draw(const StretchBins& bins, const Labels& labels, unsigned int traces,
                            const std::string& pngPath) {
    const int tracesTop = top + mapHeight + gap;
    const int height = tracesTop + static_cast<int>(traces) * traceHeight + bottom;
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height),
                    cairo_surface_destroy);
    Context context(cairo_create(surface.get()), cairo_destroy);
    cairo_t* cr = context.get();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, 0, 0, 0);
    text(cr, left, 30, labels.title, 15);

    drawMap(cr, bins, colourLimit(bins));
    drawTimeAxis(cr, labels, top + mapHeight);
    drawTraces(cr, bins, traces, tracesTop);
    drawTimeAxis(cr, labels, tracesTop + static_cast<int>(traces) * traceHeight);

    tolmaren_recording::PendingFile file(pngPath);
    PngWriter writer{file.file(), {}};
    const cairo_status_t written =
        cairo_surface_write_to_png_stream(surface.get(), writePng, &writer);
    context.reset();
    surface.reset();
    // The one picture is done: let cairo and the font configuration drop
    // their caches, which would otherwise outlive the program as leaks.
    cairo_debug_reset_static_data();
    FcFini();
    if (written != CAIRO_STATUS_SUCCESS)
        throw tolmaren_recording::ToolError(
            writer.failure.empty() ? "cannot write " + file.temporaryPath() : writer.failure);
    file.commit();
}
