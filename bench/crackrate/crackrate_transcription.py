"""The crack growth rate model written out in plain Python, formula by
formula in the order the native model evaluates them: the anchor of the
Crackrate benchmark, and an independent oracle for its tests.

Python raises where IEEE arithmetic would give an infinity or a NaN
(ValueError, ZeroDivisionError, OverflowError), so this serves for
ordinary material constants and loads only.
"""
# Every quotient is a double's, as in the native model, whatever the
# interpreter and whether the caller passes ints or floats.
from __future__ import division

import math

_ANGLE = 1.570796326794895
_ZONE = 1.570796326794895 / 4


class PyCrackrate(object):

    def __init__(self, constants, flag):
        c = [float(x) for x in constants]
        if len(c) == 20:
            c.append(3.0)
        (self.UTS, self.YS, self.Kie, self.Kic, self.Ak, self.Bk, self.C, self.n, self.p,
         self.q, self.DK1, self.Cthp, self.Cthm, self.Rcl, self.alfa, self.ratio, self.R,
         self.a0, self.np, self.damp, self.Rso) = c
        self.alphag = 1.15 if flag else 2.55
        self.Kc = self.Kie if flag else self.Kic
        alpha, S = self.alfa, self.ratio
        self.A0 = math.pow(math.cos(_ANGLE * S), 1.0 / alpha) * (
            (0.825 - 0.34 * alpha) + 0.05 * (alpha * alpha))
        self.A1 = (0.415 - 0.071 * alpha) * S
        self.A3 = 2 * self.A0 + self.A1 - 1
        self.A2 = 1 - self.A0 - self.A1 - self.A3
        self.SetKol()

    def _P(self, R):
        return self.A0 + self.A1 * R + self.A2 * (R * R) + self.A3 * (R * R * R)

    def Setf(self, R):
        if R >= 0:
            P = self._P(R)
            return P if P > R else R
        return self.A0 + self.A1 * R

    def _sqrt_s(self, a):
        s = a / (a + self.a0) if a > self.a0 else 0.5
        return math.sqrt(s)

    def Calc_DKth(self, a, R):
        f = self.Setf(R)
        Cth = self.Cthp if R >= 0 else self.Cthm
        Q = (1 - R) / (1 - f * R)
        return (self.DK1 * self._sqrt_s(a) * math.pow(Q, 1 + Cth * R) /
                math.pow(1 - self.A0, self.Cthp - Cth * R))

    def dDKthbydReff(self, a, R):
        f = self.Setf(R)
        Cth = self.Cthp if R >= 0 else self.Cthm
        Q = (1 - R) / (1 - f * R)
        if R < 0:
            g = self.A0 + 2 * self.A1 * R
            t = (g * (1 - R) + f * R - 1) / ((1 - f * R) * (1 - R))
        elif R < self._P(R):
            g = (self.A0 + 2 * self.A1 * R + 3 * self.A2 * (R * R) +
                 4 * self.A3 * (R * R * R))
            t = (g * (1 - R) + f * R - 1) / ((1 - f * R) * (1 - R))
        else:
            t = -1 / (R + 1)
        u = math.pow(Q, 1 + Cth * R)
        v = math.pow(1 - self.A0, Cth * R - self.Cthp)
        return self.DK1 * self._sqrt_s(a) * (
            (Cth * math.log(Q) + (1 + Cth * R) * t) * u * v +
            math.log(1 - self.A0) * Cth * v * u)

    def CalcReff(self, N, x):
        if x >= 1000:
            x = self.R
        if self.R > 0.7:
            return self.R
        return 0.7 + (1 - math.exp(-float(N) / self.damp)) * (x - 0.7)

    def CalcKeff(self, K, N, R=1000.0):
        if R > 100:
            R = self.CalcReff(N, 1000)
        return K * (1 - self.Setf(R)) / (1 - R)

    def Paris(self, dK):
        return self.C * math.pow(dK, self.n)

    def CalcRateCurve(self, dK, R, DKth, Kmax):
        return (self.C * math.pow(((1 - self.Setf(R)) / (1 - R)) * dK, self.n) *
                math.pow(1 - DKth / dK, self.p) / math.pow(1 - Kmax / self.Kc, self.q))

    def CalcRateSlope(self, x, DKth, Kmax, R):
        return self.CalcRateCurve(x, R, DKth, Kmax) * (
            self.n / x + self.p * DKth / ((x * x) * (1 - DKth / x)) +
            self.q / (self.Kc * (1 - Kmax / self.Kc)))

    def FindTangentDK(self, lo, hi, R, DKth, Kmax):
        def sign(x):
            return (x > 0) - (x < 0)

        def e(x):
            return (self.CalcRateSlope(x, DKth, Kmax, R) /
                    self.CalcRateCurve(x, R, DKth, Kmax) * x - self.np)
        tol = lo / 1000
        while abs(hi - lo) > tol:
            mid = (hi - lo) * 0.5 + lo
            if sign(e(lo)) == sign(e(mid)):
                lo = mid
            else:
                hi = mid
        return (hi - lo) * 0.5 + lo

    def Calc_Crackrate(self, dK, a, N, R=1000.0, DKth=-1.0):
        if not R < 100:
            R = self.R
        Reff = self.CalcReff(N, R)
        Kmax = dK / (1 - R)
        if DKth < 0:
            DKth = self.Calc_DKth(a, Reff)
        near = abs(0.7 - Reff) <= 0.05
        if near:
            hi = math.exp((math.log(self.Kc) + math.log(DKth)) * 0.5)
            l = self.FindTangentDK(DKth + 0.001, hi, Reff, DKth, Kmax)
            h = math.exp(math.log(self.CalcRateCurve(l, Reff, DKth, Kmax)) - self.np * math.log(l))
            if dK <= l:
                return h * math.pow(dK, self.np)
        if dK < DKth:
            return 0.0
        return self.CalcRateCurve(dK, Reff, DKth, Kmax)

    def SetKol(self):
        self.Kol = self.rpz = self.aol = 0.0

    def _record(self, dK, a, N, R, Kmax):
        z = Kmax / (self.alphag * self.YS)
        self.Kol = Kmax
        self.rpz = _ZONE * (z * z)
        self.aol = a
        return self.Calc_Crackrate(dK, a, N, R, -1.0)

    def Compute_Crackrate(self, dK, a, N, R):
        if R > 100:
            R = self.R
        Kmax = dK / (1 - R)
        if Kmax >= self.Kol:
            return self._record(dK, a, N, R, Kmax)
        if Kmax < 1e-10:
            return 0.0
        d = a - self.aol
        if d > self.rpz:
            return self._record(dK, a, N, R, Kmax)
        Kred = self.Kol * math.sqrt(1 - d / self.rpz)
        if Kmax >= Kred:
            return self._record(dK, a, N, R, Kmax)
        if self.Kol / Kmax > self.Rso:
            return 0.0
        B = Kred - Kmax
        Kmin = Kmax - dK
        r = self.SolveRetardedR(a, B, dK, Kmax, Kmin)[0]
        return self.Calc_Crackrate(dK, a, N, r, -1.0)

    def SolveRetardedR(self, a, B, dK, Kmax, Kmin):
        """(r, k, steps) as the native solver gives them."""
        scale = self.Rso - 1
        k = r = 0.0

        def residual(k, r):
            F1 = (Kmin - k) / (Kmax - k) - r
            F2 = B * (1 - self.Calc_DKth(a, r) / dK) / scale - k
            return F1, F2, math.sqrt(F1 * F1 + F2 * F2)
        F1, F2, norm = residual(k, r)
        if norm <= 1e-10:
            return r, k, 0
        steps = 0
        while steps < 101:
            steps += 1
            J11 = -dK / ((Kmax - k) * (Kmax - k))
            J22 = -B * self.dDKthbydReff(a, r) / (scale * dK)
            Dn = 1 - J11 * J22
            dk = (J22 * F1 + F2) / Dn
            dr = (F1 + J11 * F2) / Dn
            k += dk
            r += dr
            F1, F2, norm = residual(k, r)
            if norm <= 1e-10:
                break
        return r, k, steps

    # The native type's second name of Compute_Crackrate.
    Crackrate = Compute_Crackrate
