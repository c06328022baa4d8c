#include "map/isolines.h"

#include <array>
#include <cmath>
#include <utility>

namespace ba {

namespace {

// A lattice edge where the line crosses: the cell corner it starts at and
// its direction (horizontal: to the right, vertical: downward). Each
// crossing lies on exactly one edge, and two segments meet there at most.
struct EdgeKey {
  int i = 0;
  int j = 0;
  bool vertical = false;
  bool operator==(const EdgeKey&) const = default;
};

struct Segment {
  EdgeKey from;
  EdgeKey to;
};

class Tracer {
 public:
  Tracer(const SampledField& field, double level)
      : field_(field),
        level_(level),
        at_edge_(2 * static_cast<std::size_t>(field.columns) * field.rows, {-1, -1}) {}

  std::vector<Isoline> trace() {
    for (int j = 0; j + 1 < field_.rows; ++j)
      for (int i = 0; i + 1 < field_.columns; ++i) cell(i, j);
    return join();
  }

 private:
  // The corners in order top left, top right, bottom right, bottom left and
  // the edges between them: top, right, bottom, left.
  void cell(int i, int j) {
    const float c[4] = {field_.at(i, j), field_.at(i + 1, j), field_.at(i + 1, j + 1),
                        field_.at(i, j + 1)};
    for (float v : c)
      if (std::isnan(v)) return;
    const int index =
        (c[0] >= level_) | (c[1] >= level_) << 1 | (c[2] >= level_) << 2 | (c[3] >= level_) << 3;
    const EdgeKey top{i, j, false}, right{i + 1, j, true}, bottom{i, j + 1, false},
        left{i, j, true};
    switch (index) {
      case 0:
      case 15:
        return;
      case 1:
      case 14:
        return add(left, top);
      case 2:
      case 13:
        return add(top, right);
      case 3:
      case 12:
        return add(left, right);
      case 4:
      case 11:
        return add(right, bottom);
      case 6:
      case 9:
        return add(top, bottom);
      case 7:
      case 8:
        return add(left, bottom);
      case 5:
      case 10: {
        // Saddle: the mean of the corners decides which pair is joined.
        const bool centre_above = (c[0] + c[1] + c[2] + c[3]) / 4 >= level_;
        if ((index == 5) == centre_above) {
          add(left, bottom);
          add(top, right);
        } else {
          add(left, top);
          add(right, bottom);
        }
        return;
      }
    }
  }

  // Horizontal edges first, then vertical ones, each row after row.
  std::size_t index(EdgeKey e) const {
    return (e.vertical ? static_cast<std::size_t>(field_.columns) * field_.rows : 0) +
           static_cast<std::size_t>(e.j) * field_.columns + e.i;
  }
  std::array<int, 2>& segments_at(EdgeKey e) { return at_edge_[index(e)]; }
  const std::array<int, 2>& segments_at(EdgeKey e) const { return at_edge_[index(e)]; }
  int segment_count(EdgeKey e) const { return (segments_at(e)[0] >= 0) + (segments_at(e)[1] >= 0); }

  void add(EdgeKey a, EdgeKey b) {
    const int id = static_cast<int>(segments_.size());
    segments_.push_back({a, b});
    for (EdgeKey e : {a, b}) segments_at(e)[segments_at(e)[0] >= 0 ? 1 : 0] = id;
  }

  MapPoint crossing(EdgeKey e) const {
    const int i2 = e.vertical ? e.i : e.i + 1;
    const int j2 = e.vertical ? e.j + 1 : e.j;
    const double a = field_.at(e.i, e.j);
    const double b = field_.at(i2, j2);
    const double t = a == b ? 0.5 : (level_ - a) / (b - a);
    return field_.point(e.i + t * (i2 - e.i), e.j + t * (j2 - e.j));
  }

  // The segment other than `from` at an edge, or -1.
  int other(EdgeKey edge, int from) const {
    for (int id : segments_at(edge))
      if (id >= 0 && id != from && !used_[id]) return id;
    return -1;
  }

  // From one end of a segment, follows the chain as far as it goes; returns
  // the edges passed, the start included.
  std::vector<EdgeKey> walk(int id, EdgeKey start) {
    std::vector<EdgeKey> edges{start};
    EdgeKey at = start;
    while (id >= 0) {
      used_[id] = true;
      const Segment& s = segments_[id];
      at = s.from == at ? s.to : s.from;
      edges.push_back(at);
      id = other(at, id);
    }
    return edges;
  }

  std::vector<Isoline> join() {
    std::vector<Isoline> lines;
    used_.assign(segments_.size(), false);
    // Open lines first, started from an end (an edge with one segment), then
    // whatever remains forms closed loops.
    for (int pass = 0; pass < 2; ++pass)
      for (std::size_t id = 0; id < segments_.size(); ++id) {
        if (used_[id]) continue;
        const Segment& s = segments_[id];
        EdgeKey start = s.from;
        if (pass == 0) {
          if (segment_count(s.from) == 1)
            start = s.from;
          else if (segment_count(s.to) == 1)
            start = s.to;
          else
            continue;
        }
        const std::vector<EdgeKey> edges = walk(static_cast<int>(id), start);
        Isoline line;
        line.level = level_;
        line.closed = pass == 1 && edges.size() > 2 && edges.front() == edges.back();
        for (std::size_t k = 0; k < edges.size() - (line.closed ? 1 : 0); ++k)
          line.points.push_back(crossing(edges[k]));
        lines.push_back(std::move(line));
      }
    return lines;
  }

  const SampledField& field_;
  double level_;
  std::vector<Segment> segments_;
  std::vector<std::array<int, 2>> at_edge_;  // the segments meeting at each edge
  std::vector<bool> used_;
};

}  // namespace

std::vector<Isoline> trace_isolines(const SampledField& field, double level) {
  return Tracer(field, level).trace();
}

}  // namespace ba
