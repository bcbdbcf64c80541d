// The probability distributions the assessment's tests and intervals need:
// chi-square and Student's t (through the regularized incomplete gamma and
// beta functions), the normal quantile, and the radius of a bivariate normal
// error with independent axes that holds a given share of the errors.
#ifndef ZASSESS_DISTRIBUTIONS_H
#define ZASSESS_DISTRIBUTIONS_H

namespace zassess {

// P(a, x), the regularized lower incomplete gamma function.
double RegularizedGammaP(double a, double x);
// I_x(a, b), the regularized incomplete beta function.
double RegularizedBeta(double a, double b, double x);

// The x with P(chi-square with dof degrees of freedom <= x) = p.
double ChiSquareQuantile(double p, double dof);
// P(|T| >= t) for Student's t with dof degrees of freedom.
double StudentTwoSidedP(double t, double dof);
// The t > 0 with P(|T| >= t) = tail.
double StudentTwoSidedQuantile(double tail, double dof);
// The x with P(Z <= x) = p for a standard normal Z.
double NormalQuantile(double p);

// The radius R with P(X^2 + Y^2 <= R^2) = p for independent zero-mean normal
// X and Y of standard deviations sigmaX and sigmaY (either may be 0).
double CircularErrorRadius(double sigmaX, double sigmaY, double p);

}  // namespace zassess

#endif
