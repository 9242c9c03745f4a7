// The reference: Bowyer-Watson written the straightforward way, with no cache and no shortcut.
// Every insertion walks all triangles, tests each unfinished one with circumcircle, marks it
// finished when its circle lies left of the point, and removes it by moving the last triangle
// into its slot and looking at that slot again. The library must give the same result code, the
// same triangles and the same order.
#pragma once

#include <algorithm>
#include <vector>

#include "math/delaunay.h"

namespace ostravel::testing {

inline int32_t plainTriangulate(int32_t nv, Vec3* v, Triangle* tri, int32_t& ntri) {
    if (nv <= 0) {
        ntri = 0;
        return 0;
    }
    std::stable_sort(v, v + nv, [](const Vec3& a, const Vec3& b) { return a.x < b.x; });
    const int32_t trimax = 4 * nv;
    std::vector<char> complete(trimax, 0);
    struct Edge {
        int32_t p1, p2;
        bool removed;
    };
    int32_t emax = 200;
    std::vector<Edge> edges(emax);

    double xmin = v[0].x, ymin = v[0].y, xmax = xmin, ymax = ymin;
    for (int32_t i = 1; i < nv; ++i) {
        if (v[i].x < xmin) xmin = v[i].x;
        if (v[i].x > xmax) xmax = v[i].x;
        if (v[i].y < ymin) ymin = v[i].y;
        if (v[i].y > ymax) ymax = v[i].y;
    }
    const double dx = xmax - xmin, dy = ymax - ymin;
    const double dmax = dx > dy ? dx : dy;
    const double xmid = (xmax + xmin) / 2.0, ymid = (ymax + ymin) / 2.0;
    v[nv].x = float(xmid - 20.0 * dmax), v[nv].y = float(ymid - dmax), v[nv].z = 0.0f;
    v[nv + 1].x = float(xmid), v[nv + 1].y = float(ymid + 20.0 * dmax), v[nv + 1].z = 0.0f;
    v[nv + 2].x = float(xmid + 20.0 * dmax), v[nv + 2].y = float(ymid - dmax), v[nv + 2].z = 0.0f;
    tri[0] = Triangle{nv, nv + 1, nv + 2};
    complete[0] = 0;
    ntri = 1;

    double xc = 0.0, yc = 0.0, r = 0.0;  // a flat triangle leaves the last circle's values here
    for (int32_t i = 0; i < nv; ++i) {
        const double xp = v[i].x, yp = v[i].y;
        int32_t nedge = 0;
        for (int32_t j = 0; j < ntri; ++j) {
            if (complete[j]) continue;
            const Triangle& t = tri[j];
            const bool inside = circumcircle(xp, yp, v[t.p1].x, v[t.p1].y, v[t.p2].x, v[t.p2].y, v[t.p3].x,
                                             v[t.p3].y, xc, yc, r);
            if (xc + r < xp) complete[j] = 1;
            if (inside) {
                if (nedge + 3 >= emax) {
                    emax += 100;
                    edges.resize(emax);
                }
                edges[nedge++] = {t.p1, t.p2, false};
                edges[nedge++] = {t.p2, t.p3, false};
                edges[nedge++] = {t.p3, t.p1, false};
                tri[j] = tri[ntri - 1];
                complete[j] = complete[ntri - 1];
                --ntri;
                --j;
            }
        }
        for (int32_t j = 0; j < nedge - 1; ++j)
            for (int32_t k = j + 1; k < nedge; ++k)
                if ((edges[j].p1 == edges[k].p2 && edges[j].p2 == edges[k].p1) ||
                    (edges[j].p1 == edges[k].p1 && edges[j].p2 == edges[k].p2))
                    edges[j].removed = edges[k].removed = true;
        for (int32_t j = 0; j < nedge; ++j) {
            if (edges[j].removed) continue;
            if (ntri >= trimax) return 4;
            tri[ntri] = Triangle{edges[j].p1, edges[j].p2, i};
            complete[ntri] = 0;
            ++ntri;
        }
    }
    for (int32_t i = 0; i < ntri; ++i)
        if (tri[i].p1 >= nv || tri[i].p2 >= nv || tri[i].p3 >= nv) {
            tri[i] = tri[ntri - 1];
            --ntri;
            --i;
        }
    return 0;
}

}  // namespace ostravel::testing
