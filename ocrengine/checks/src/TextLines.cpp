#include "TextLines.h"

#include <algorithm>
#include <numeric>

namespace ocrchecks {

namespace {

constexpr int kCellSide = 2;
constexpr int kCellArea = 3;        // a cell looks at 3 x 3 pixels, overlapping its neighbours
constexpr int kInkMargin = 4;       // ink is looked for from 4 pixels off every border
constexpr int kDensityReach = 5;    // cells away in the row and the column
constexpr int kDenseNeighbours = 15;
constexpr int kInkGap = 4;          // two cell widths
constexpr int kEmptyGap = 1;
constexpr int kMinLineSide = 5;

class CellGrid {
public:
    CellGrid(int columns, int rows)
        : m_columns(columns), m_rows(rows),
          m_cells(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows)) {}

    TextBlob& At(int cx, int cy) { return m_cells[static_cast<std::size_t>(cy) * m_columns + cx]; }
    bool IsInk(int cx, int cy) const {
        const std::int32_t s = m_cells[static_cast<std::size_t>(cy) * m_columns + cx].state;
        return s == kBlobInk || s == kBlobDense;
    }
    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }

private:
    int m_columns;
    int m_rows;
    std::vector<TextBlob> m_cells;
};

void FillCells(CellGrid& grid, const std::uint8_t* binary, int w, int h) {
    const int xFirst = kInkMargin, xLast = w - kInkMargin;
    const int yFirst = kInkMargin, yLast = h - kInkMargin;
    for (int cy = 0; cy < grid.Rows(); ++cy) {
        for (int cx = 0; cx < grid.Columns(); ++cx) {
            const int x0 = cx * kCellSide, y0 = cy * kCellSide;
            bool ink = false;
            for (int y = std::max(y0, yFirst); !ink && y <= std::min(y0 + kCellArea - 1, yLast); ++y) {
                for (int x = std::max(x0, xFirst); x <= std::min(x0 + kCellArea - 1, xLast); ++x) {
                    if (binary[static_cast<std::ptrdiff_t>(y) * w + x] != 255) {
                        ink = true;
                        break;
                    }
                }
            }
            grid.At(cx, cy) = TextBlob{ink ? kBlobInk : kBlobEmpty, x0 - 1, y0 - 1,
                                       x0 + kCellArea - 1, y0 + kCellArea - 1};
        }
    }
}

// Keeps ink in dense areas (state 5) and discards lone ink (state 1).
void FilterByDensity(CellGrid& grid) {
    const int gw = grid.Columns(), gh = grid.Rows();
    std::vector<std::uint8_t> neighbours(static_cast<std::size_t>(gw) * gh, 0);
    for (int cy = 0; cy < gh; ++cy) {
        for (int cx = 0; cx < gw; ++cx) {
            if (!grid.IsInk(cx, cy)) {
                continue;
            }
            int n = 0;
            for (int d = -kDensityReach; d <= kDensityReach; ++d) {
                if (d == 0) {
                    continue;
                }
                n += cx + d >= 0 && cx + d < gw && grid.IsInk(cx + d, cy);
                n += cy + d >= 0 && cy + d < gh && grid.IsInk(cx, cy + d);
            }
            neighbours[static_cast<std::size_t>(cy) * gw + cx] = static_cast<std::uint8_t>(n);
        }
    }
    for (int cy = 0; cy < gh; ++cy) {
        for (int cx = 0; cx < gw; ++cx) {
            if (neighbours[static_cast<std::size_t>(cy) * gw + cx] <= kDenseNeighbours) {
                continue;
            }
            for (int d = -kDensityReach; d <= kDensityReach; ++d) {
                if (cx + d >= 0 && cx + d < gw && grid.At(cx + d, cy).state == kBlobInk) {
                    grid.At(cx + d, cy).state = kBlobDense;
                }
                if (cy + d >= 0 && cy + d < gh && grid.At(cx, cy + d).state == kBlobInk) {
                    grid.At(cx, cy + d).state = kBlobDense;
                }
            }
        }
    }
    for (int cy = 0; cy < gh; ++cy) {
        for (int cx = 0; cx < gw; ++cx) {
            if (grid.At(cx, cy).state == kBlobInk &&
                neighbours[static_cast<std::size_t>(cy) * gw + cx] <= kDenseNeighbours) {
                grid.At(cx, cy).state = kBlobDiscarded;
            }
        }
    }
}

// Ink cells take the ink cells that follow them in the row across small gaps;
// empty cells join runs of empty cells.
void MergeRows(CellGrid& grid) {
    for (int cy = 0; cy < grid.Rows(); ++cy) {
        for (int cx = 0; cx < grid.Columns(); ++cx) {
            TextBlob& a = grid.At(cx, cy);
            if (a.state >= kBlobInk) {
                for (int j = cx + 1; j < grid.Columns(); ++j) {
                    TextBlob& b = grid.At(j, cy);
                    if (b.left > a.right + kInkGap || b.state == kBlobNoInk) {
                        break;
                    }
                    if (b.state < kBlobInk || b.left < a.left) {
                        continue;
                    }
                    b.state = kBlobDiscarded;
                    a.right = b.right;
                    if (a.state < kBlobAbsorbed) {
                        a.state += kBlobAbsorbed;
                    }
                }
            } else if (a.state == kBlobEmpty || a.state == kBlobEmptyRun) {
                for (int j = cx + 1; j < grid.Columns(); ++j) {
                    TextBlob& b = grid.At(j, cy);
                    if ((b.state != kBlobEmpty && b.state != kBlobEmptyRun) ||
                        b.left > a.right + kEmptyGap) {
                        break;
                    }
                    b.state = kBlobNoInk;
                    a.right = b.right;
                    a.state = kBlobEmptyRun;
                }
            }
        }
    }
}

int FindRoot(std::vector<int>& parent, int i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

// Boxes that share a pixel, edges included, belong together.
bool Overlap(const TextBlob& a, const TextBlob& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

std::vector<CheckRect> FindTextLines(const std::uint8_t* binary, int width, int height,
                                     int maxLines) {
    CellGrid grid(width / kCellSide, height / kCellSide);
    FillCells(grid, binary, width, height);
    FilterByDensity(grid);
    MergeRows(grid);

    // The surviving cells become blobs, one pixel shorter at the top.
    std::vector<TextBlob> blobs;
    std::vector<int> rowStart(static_cast<std::size_t>(grid.Rows()) + 1, 0);
    for (int cy = 0; cy < grid.Rows(); ++cy) {
        rowStart[cy] = static_cast<int>(blobs.size());
        for (int cx = 0; cx < grid.Columns(); ++cx) {
            TextBlob b = grid.At(cx, cy);
            if (b.state >= kBlobInk) {
                b.state = kBlobInk;
                b.top += 1;
                blobs.push_back(b);
            }
        }
    }
    rowStart[grid.Rows()] = static_cast<int>(blobs.size());

    // Only blobs of the same and the next cell row can meet.
    std::vector<int> parent(blobs.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (int cy = 0; cy < grid.Rows(); ++cy) {
        const int end = rowStart[std::min(cy + 2, grid.Rows())];
        for (int i = rowStart[cy]; i < rowStart[cy + 1]; ++i) {
            for (int j = i + 1; j < end; ++j) {
                if (Overlap(blobs[i], blobs[j])) {
                    parent[FindRoot(parent, j)] = FindRoot(parent, i);
                }
            }
        }
    }

    // Group boxes in the order of their first blob.
    std::vector<int> groupOf(blobs.size(), -1);
    std::vector<CheckRect> groups;
    for (std::size_t i = 0; i < blobs.size(); ++i) {
        const int root = FindRoot(parent, static_cast<int>(i));
        if (groupOf[root] < 0) {
            groupOf[root] = static_cast<int>(groups.size());
            groups.push_back(CheckRect{width, height, 0, 0});
        }
        CheckRect& g = groups[groupOf[root]];
        g.left = std::min(g.left, blobs[i].left);
        g.top = std::min(g.top, blobs[i].top);
        g.right = std::max(g.right, blobs[i].right);
        g.bottom = std::max(g.bottom, blobs[i].bottom);
    }
    std::vector<CheckRect> lines;
    for (const CheckRect& g : groups) {
        if (static_cast<int>(lines.size()) >= maxLines) {
            break;
        }
        if (g.right - g.left > kMinLineSide && g.bottom - g.top > kMinLineSide) {
            lines.push_back(g);
        }
    }
    return lines;
}

}  // namespace ocrchecks
