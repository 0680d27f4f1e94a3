#include "MenuBitmaps.h"

#include "ScreenScale.h"

#include <wx/image.h>

#include <algorithm>
#include <cmath>

namespace
{
// A shape says whether a point (in pixels, 0..16) lies inside it.
using Shape = std::function<bool(double x, double y)>;

struct Layer
{
    Shape shape;
    unsigned char r, g, b;
};

Shape Circle(double cx, double cy, double radius)
{
    return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius; };
}

Shape Ring(double cx, double cy, double outer, double inner)
{
    return [=](double x, double y) {
        double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        return d <= outer * outer && d >= inner * inner;
    };
}

Shape Box(double left, double top, double right, double bottom)
{
    return [=](double x, double y) { return x >= left && x <= right && y >= top && y <= bottom; };
}

// A straight stroke of the given width between two points.
Shape Stroke(double x0, double y0, double x1, double y1, double width)
{
    return [=](double x, double y) {
        double dx = x1 - x0, dy = y1 - y0;
        double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        double px = x0 + t * dx - x, py = y0 + t * dy - y;
        return px * px + py * py <= width * width / 4;
    };
}

// A convex polygon given clockwise (in screen coordinates).
Shape Polygon(std::vector<std::pair<double, double>> points)
{
    return [=](double x, double y) {
        for (size_t i = 0; i < points.size(); ++i)
        {
            auto [ax, ay] = points[i];
            auto [bx, by] = points[(i + 1) % points.size()];
            if ((bx - ax) * (y - ay) - (by - ay) * (x - ax) < 0)
                return false;
        }
        return true;
    };
}

Shape Minus(Shape a, Shape b)
{
    return [=](double x, double y) { return a(x, y) && !b(x, y); };
}

Shape Any(std::vector<Shape> shapes)
{
    return [=](double x, double y) {
        return std::any_of(shapes.begin(), shapes.end(), [&](const Shape& s) { return s(x, y); });
    };
}

// Paints the layers in order, each pixel sampled 4 by 4 times for smooth edges, with the screen's
// pixels: 16 logical pixels a side, 32 real ones on a desktop that doubles every window.
wxBitmap Render(const std::vector<Layer>& layers)
{
    const double scale = ScreenScaleFactor();
    const int size = static_cast<int>(std::lround(16 * scale)), samples = 4;
    wxImage image(size, size);
    image.InitAlpha();
    for (int py = 0; py < size; ++py)
    {
        for (int px = 0; px < size; ++px)
        {
            double r = 0, g = 0, b = 0, a = 0;
            for (const Layer& layer : layers)
            {
                int hits = 0;
                for (int sy = 0; sy < samples; ++sy)
                    for (int sx = 0; sx < samples; ++sx)
                        hits += layer.shape((px + (sx + 0.5) / samples) / scale, (py + (sy + 0.5) / samples) / scale) ? 1 : 0;
                double cover = double(hits) / (samples * samples);
                r = layer.r * cover + r * (1 - cover);
                g = layer.g * cover + g * (1 - cover);
                b = layer.b * cover + b * (1 - cover);
                a = cover + a * (1 - cover);
            }
            // The colours above are premultiplied by coverage; undo that for the image.
            if (a > 0)
                image.SetRGB(px, py, static_cast<unsigned char>(std::lround(r / a)),
                             static_cast<unsigned char>(std::lround(g / a)), static_cast<unsigned char>(std::lround(b / a)));
            image.SetAlpha(px, py, static_cast<unsigned char>(std::lround(a * 255)));
        }
    }
    return wxBitmap(image, -1, scale);
}

wxBitmap Record()
{
    return Render({{Circle(8, 8, 6.5), 140, 0, 0}, {Circle(8, 8, 5.3), 230, 30, 30}, {Circle(6.5, 6.5, 1.6), 255, 140, 140}});
}

wxBitmap Play()
{
    return Render({{Polygon({{3.5, 2}, {14, 8}, {3.5, 14}}), 20, 110, 20}, {Polygon({{5, 4.5}, {11.5, 8}, {5, 11.5}}), 60, 180, 60}});
}

wxBitmap Stop()
{
    return Render({{Box(3, 3, 13, 13), 30, 40, 90}, {Box(4.2, 4.2, 11.8, 11.8), 70, 90, 170}});
}

wxBitmap Settings()
{
    std::vector<Shape> teeth;
    for (int i = 0; i < 8; ++i)
    {
        double angle = i * M_PI / 4;
        teeth.push_back(Stroke(8 + 4 * std::cos(angle), 8 + 4 * std::sin(angle), 8 + 7 * std::cos(angle),
                               8 + 7 * std::sin(angle), 2.6));
    }
    teeth.push_back(Circle(8, 8, 5.2));
    return Render({{Minus(Any(teeth), Circle(8, 8, 2.2)), 90, 90, 100}});
}

wxBitmap Folder()
{
    return Render({{Box(1.5, 3, 7, 6), 170, 120, 20},
                   {Box(1.5, 4.5, 14.5, 13.5), 170, 120, 20},
                   {Box(2.5, 6.5, 13.5, 12.5), 250, 200, 70}});
}

wxBitmap Rename()
{
    return Render({{Stroke(4, 12, 12.5, 3.5, 4), 150, 80, 10},
                   {Stroke(4.5, 11.5, 12, 4, 2.2), 240, 170, 40},
                   {Polygon({{1.5, 14.5}, {2.8, 10.6}, {5.4, 13.2}}), 40, 40, 40},
                   {Box(7, 13.5, 15, 14.5), 60, 60, 60}});
}

wxBitmap DeleteFromDisk()
{
    return Render({{Stroke(3.5, 3.5, 12.5, 12.5, 3.2), 200, 20, 20}, {Stroke(12.5, 3.5, 3.5, 12.5, 3.2), 200, 20, 20}});
}

wxBitmap Help()
{
    Shape hook = Any({[](double x, double y) {
                          double d = std::hypot(x - 8, y - 6.2);
                          return d <= 3.4 && d >= 1.8 && !(x < 8 && y > 6.2);
                      },
                      Box(7.1, 8.2, 8.9, 10.3)});
    return Render({{Circle(8, 8, 7.2), 20, 70, 170}, {Any({hook, Circle(8, 12.3, 1.1)}), 255, 255, 255}});
}

wxBitmap WebSite()
{
    Shape lines = Any({Ring(8, 8, 6.6, 5.7),
                       [](double x, double y) {
                           double e = (x - 8) * (x - 8) / 7.0 + (y - 8) * (y - 8) / 44.0;
                           return e <= 1.0 && e >= 0.55;
                       },
                       Box(1.5, 7.5, 14.5, 8.5), Box(7.5, 1.5, 8.5, 14.5), Box(2.5, 4.5, 13.5, 5.2),
                       Box(2.5, 10.8, 13.5, 11.5)});
    return Render({{Circle(8, 8, 6.6), 70, 140, 220}, {lines, 20, 60, 130}});
}

wxBitmap About()
{
    return Render({{Circle(8, 8, 7.2), 20, 70, 170}, {Any({Circle(8, 4.6, 1.3), Box(7, 6.8, 9, 12.5)}), 255, 255, 255}});
}

wxBitmap Exit()
{
    return Render({{Box(2, 1.5, 9.5, 14.5), 110, 70, 30},
                   {Box(3, 2.5, 8.5, 13.5), 190, 130, 70},
                   {Circle(7.3, 8, 0.8), 60, 40, 10},
                   {Any({Box(9.5, 7, 13, 9), Polygon({{12, 4.5}, {15.5, 8}, {12, 11.5}})}), 20, 140, 20}});
}
}  // namespace

const std::vector<MenuBitmapSpec>& MenuBitmapTable()
{
    static const std::vector<MenuBitmapSpec> table = {
        {139, Help},     {140, DeleteFromDisk}, {141, Stop},  {142, Play},     {143, Folder},
        {144, Record},   {146, WebSite},        {147, Settings}, {148, About}, {149, Exit},
        {151, Rename},
    };
    return table;
}
