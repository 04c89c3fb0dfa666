// One tick of the viewer's frame timer with a frame ready, at common camera sizes, measured in the
// same run as two yardsticks: the floor (copy the frame's bytes, draw a picture already in the
// screen's pixel format) and the way most OpenCV viewers on Qt show a frame (swap to RGB, QImage,
// QPixmap, QLabel). After Google Benchmark's own output comes a table of the medians and ratios.

#include "FakeCamera.h"
#include "Unit1.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <QApplication>
#include <QBackingStore>
#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

struct Size {
    int width;
    int height;
};

constexpr Size Sizes[] = {{640, 480}, {1280, 720}, {1920, 1080}, {3840, 2160}};

std::string Label(Size size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

// A camera picture: 8-bit blue, green, red samples, rows packed as the camera lays them out.
cv::Mat CameraPicture(Size size)
{
    cv::Mat picture(size.height, size.width, CV_8UC3);
    cv::randu(picture, 0, 256);
    return picture;
}

QRgb PixelOf(const cv::Mat &picture, int x, int y)
{
    const auto &bgr = picture.at<cv::Vec3b>(y, x);
    return qRgb(bgr[2], bgr[1], bgr[0]);
}

// Counts a widget's paint events and remembers the area the last one covered.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *widget) { widget->installEventFilter(this); }

    int paints = 0;
    QRect lastArea;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            lastArea = static_cast<QPaintEvent *>(event)->rect();
        }
        return false;
    }
};

// A timing means nothing if the step it times does not put the picture on the screen: before the
// timing, one step must paint the whole picture area once, and the screen must show the picture's
// corner pixels. Returns what went wrong, or nothing.
std::string CheckShows(QWidget *area, const cv::Mat &picture, const std::function<void()> &step)
{
    PaintWatch watch(area);
    step();
    if (watch.paints != 1)
        return "the step painted " + std::to_string(watch.paints) + " times";
    if (!watch.lastArea.contains(QRect(0, 0, picture.cols, picture.rows)))
        return "the step painted only part of the picture";
    const QPoint place = area->mapTo(area->window(), QPoint(0, 0));
    const QImage shown =
        area->screen()
            ->grabWindow(area->window()->winId(), place.x(), place.y(), picture.cols, picture.rows)
            .toImage();
    const int right = picture.cols - 1;
    const int bottom = picture.rows - 1;
    if (shown.pixel(0, 0) != PixelOf(picture, 0, 0) ||
        shown.pixel(right, bottom) != PixelOf(picture, right, bottom))
        return "the screen does not show the frame";
    return {};
}

void ShowAndSettle(QWidget &window)
{
    window.show();
    QCoreApplication::processEvents();
}

void OneTick(benchmark::State &state, Size size)
{
    cv::Mat picture = CameraPicture(size);
    camera::Frame frame{size.width,
                        size.height,
                        8,
                        3,
                        static_cast<int>(picture.step[0]),
                        reinterpret_cast<char *>(picture.data)};
    FakeCamera &camera = FakeCamera::Instance();
    camera.Reset();
    camera.reportedWidth = size.width;
    camera.reportedHeight = size.height;
    camera.steadyFrame = &frame;

    TForm1 form(nullptr);
    Form1 = &form;
    form.ReadLayout(TForm1::Published());
    form.Button1Click(nullptr);    // opens the camera and sizes the picture area to the frame
    form.Timer->SetEnabled(false); // the ticks come from the loop below
    ShowAndSettle(*form.Handle());
    // Large enough that the whole picture area is on the screen, not scrolled away.
    form.Handle()->resize(form.ClientHandle()->minimumSize());
    QCoreApplication::processEvents();

    const std::string fault =
        CheckShows(form.Image->Handle(), picture, [&] { form.TimerTimer(nullptr); });
    if (fault.empty())
        for (auto _ : state)
            form.TimerTimer(nullptr);
    else
        state.SkipWithError(fault.c_str());

    TCloseAction action = caHide;
    form.FormClose(nullptr, action);
    Form1 = nullptr;
}

// Draws a picture already in the pixel format of the window's backing store, which Qt copies as
// it stands.
class PreparedPicture : public QWidget
{
public:
    PreparedPicture() { setAttribute(Qt::WA_OpaquePaintEvent); }

    QImage picture;

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).drawImage(0, 0, picture); }
};

void Floor(benchmark::State &state, Size size)
{
    cv::Mat picture = CameraPicture(size);
    std::vector<std::uint8_t> copy(picture.total() * picture.elemSize());

    PreparedPicture area;
    area.resize(size.width, size.height);
    ShowAndSettle(area);
    const auto *screen = dynamic_cast<const QImage *>(area.backingStore()->paintDevice());
    area.picture = QImage(picture.data, size.width, size.height,
                          static_cast<qsizetype>(picture.step[0]), QImage::Format_BGR888)
                       .convertToFormat(screen ? screen->format() : QImage::Format_RGB32);

    const auto step = [&] {
        std::memcpy(copy.data(), picture.data, copy.size());
        benchmark::ClobberMemory(); // the copy counts although nothing reads it
        area.repaint();
    };
    const std::string fault = CheckShows(&area, picture, step);
    if (fault.empty())
        for (auto _ : state)
            step();
    else
        state.SkipWithError(fault.c_str());
}

void UsualViewer(benchmark::State &state, Size size)
{
    cv::Mat picture = CameraPicture(size);
    cv::Mat rgb;

    QLabel area;
    area.resize(size.width, size.height);
    ShowAndSettle(area);

    const auto step = [&] {
        cv::cvtColor(picture, rgb, cv::COLOR_BGR2RGB);
        const QImage image(rgb.data, rgb.cols, rgb.rows, static_cast<qsizetype>(rgb.step[0]),
                           QImage::Format_RGB888);
        area.setPixmap(QPixmap::fromImage(image));
        area.repaint();
    };
    const std::string fault = CheckShows(&area, picture, step);
    if (fault.empty())
        for (auto _ : state)
            step();
    else
        state.SkipWithError(fault.c_str());
}

// Google Benchmark's console output, then per size the median times and the two ratios the goal
// is stated in: the tick against the floor (at most 1.3) and the usual way against the tick (at
// least 3).
class RatioTable : public benchmark::ConsoleReporter
{
public:
    RatioTable() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            if (run.aggregate_name == "median" && !run.error_occurred)
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nmedian ms per frame\n%-10s %9s %9s %9s %11s %11s\n", "size", "tick", "floor",
                    "usual", "tick/floor", "usual/tick");
        for (Size size : Sizes) {
            const std::string label = Label(size);
            const double tick = Median("tick/" + label);
            const double floor = Median("floor/" + label);
            const double usual = Median("usual/" + label);
            std::printf("%-10s %9.3f %9.3f %9.3f %11.2f %11.2f\n", label.c_str(), tick, floor,
                        usual, tick / floor, usual / tick);
        }
    }

private:
    double Median(const std::string &name) const
    {
        const auto found = medians.find(name);
        return found == medians.end() ? std::numeric_limits<double>::quiet_NaN() : found->second;
    }

    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    for (Size size : Sizes) {
        const std::string label = Label(size);
        for (auto *benchmark :
             {benchmark::RegisterBenchmark(("tick/" + label).c_str(), OneTick, size),
              benchmark::RegisterBenchmark(("floor/" + label).c_str(), Floor, size),
              benchmark::RegisterBenchmark(("usual/" + label).c_str(), UsualViewer, size)})
            benchmark->Unit(benchmark::kMillisecond)->UseRealTime();
    }

    // Medians of many short runs, the three ways taken in random turns, so that a slow spell of
    // the machine does not fall on one of them alone. Flags given on the command line come later
    // and win.
    std::vector<char *> arguments{argv[0], const_cast<char *>("--benchmark_repetitions=15"),
                                  const_cast<char *>("--benchmark_min_time=0.1"),
                                  const_cast<char *>("--benchmark_enable_random_interleaving=true"),
                                  const_cast<char *>("--benchmark_report_aggregates_only=true")};
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    RatioTable reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
