// Matrix and least-squares library on 1-based row-pointer storage.
//
// Storage convention shared by every routine of the library:
//   - a matrix of r rows and c columns is an array of r + 1 row pointers into one
//     contiguous block of (r + 1) * (c + 1) elements; m[i] points i * (c + 1)
//     elements past m[0], so the rows lie one after the other;
//   - a vector of n elements is an array of n + 1 elements;
//   - rows, columns and vector elements are used from 1; index 0 is spare and no
//     product or solver reads or writes it (the sequential adjustment alone keeps two
//     scalars in element [0][0]);
//   - creation leaves the elements uninitialised (except the identity_/null_/copy_
//     routines); whoever creates an object releases it with the matching free_
//     routine; a routine that returns a new object hands its ownership to the caller.
//
// Dimensions are plain ints passed beside the operands: a matrix operand is passed as
// the triple (rows, matrix, columns); a vector operand takes its length from the
// neighbouring matrix dimension; the destination comes last. The routines carry no
// units of their own: results take the units implied by the operands (a solution x of
// A x = l is in units of l per unit of A). No routine throws except the creation
// routines, which throw std::bad_alloc when the heap is exhausted; numeric failures
// are reported as messages on standard output.
#ifndef HELMERT2D_MTRS_H
#define HELMERT2D_MTRS_H

#include <ostream>

// ---- Storage ----------------------------------------------------------------------
// All creation routines throw std::bad_alloc when memory is exhausted (never return an
// unusable pointer). All free_ routines accept a null pointer and then do nothing.

/// New r x c matrix of doubles (indices 0..r, 0..c), elements uninitialised.
double** create_matrix(int r, int c);
/// New r x c matrix of ints with the same layout.
int** create_matint(int r, int c);
/// New r x c matrix of chars with the same layout (r + 1 rows of c + 1 characters).
char** create_matchr(int r, int c);
/// New vector of doubles, indices 0..n, uninitialised.
double* create_vector(int n);
/// New vector of ints, indices 0..n, uninitialised.
int* create_vectint(int n);
/// New char array of n + 1 bytes, uninitialised.
char* create_vectchr(int n);

/// New n x n identity over indices 0..n: 1.0 on the diagonal ([0][0] included), else 0.0.
double** identity_matrix(int n);
/// New r x c matrix with every element, row 0 and column 0 included, set to 0.0.
double** null_matrix(int r, int c);
/// New vector with elements 0..n set to 0.0.
double* null_vector(int n);
/// New r x c matrix holding a copy of A[0..r][0..c].
double** copy_matrix(const double* const* A, int r, int c);
/// New vector holding a copy of v[0..n].
double* copy_vector(const double* v, int n);

/// Release a matrix made by create_matrix and kin (element block, then row pointers).
void free_matrix(double** m);
void free_matrix(int** m);
void free_matchr(char** m);
/// Release a vector made by create_vector and kin.
void free_vector(double* v);
void free_vectint(int* v);
void free_vectchr(char* v);

// ---- Products and sums ------------------------------------------------------------
// Matrix operands are read at rows and columns 1..dimension only. The into forms
// write into a destination that the caller created with the right size; the
// destination must be a different object from every operand (it is cleared and then
// accumulated into, so an aliased operand would be read after being overwritten).
// The new forms create the destination, which the caller then owns.
// Each element is summed in increasing order of the summation index.

/// C (n x p) = A (n x m) * B (mb x p). On m != mb writes "\n Matrisilerin boyutlar\375
/// uyumsuz ...! \n" to standard output and leaves C untouched.
void A_B_(int n, const double* const* A, int m, int mb, const double* const* B, int p, double** C);
/// New n x p matrix A * B. On m != mb writes the mismatch message and returns the new,
/// unfilled matrix (still owned by the caller).
double** A_B_(int n, const double* const* A, int m, int mb, const double* const* B, int p);
/// C (n x p) = A (n x m) * transpose(B), B is p x mb; checks m == mb as A_B_.
void A_BT_(int n, const double* const* A, int m, int p, const double* const* B, int mb, double** C);
/// New n x p matrix A * transpose(B); checks m == mb as A_B_.
double** A_BT_(int n, const double* const* A, int m, int p, const double* const* B, int mb);
/// C (m x p) = transpose(A) * B, A is n x m, B is nb x p; checks n == nb as A_B_.
void AT_B_(int n, const double* const* A, int m, int nb, const double* const* B, int p, double** C);
/// New m x p matrix transpose(A) * B; checks n == nb as A_B_.
double** AT_B_(int n, const double* const* A, int m, int nb, const double* const* B, int p);
/// c (n entries) = A (n x m) * b (m entries).
void A_b_(int n, const double* const* A, int m, const double* b, double* c);
/// New vector of n entries A * b.
double* A_b_(int n, const double* const* A, int m, const double* b);
/// c (m entries) = transpose(A) * b, A is n x m, b has n entries.
void AT_b_(int n, const double* const* A, int m, const double* b, double* c);
/// New vector of m entries transpose(A) * b.
double* AT_b_(int n, const double* const* A, int m, const double* b);
/// R (n x n) = A (n x m) * Q (m x m) * transpose(A); R is exactly symmetric even for
/// a non-symmetric Q (each pair holds the value of the later of its two rows).
void A_Q_AT_(int n, const double* const* A, int m, const double* const* Q, double** R);
/// New n x n matrix A * Q * transpose(A).
double** A_Q_AT_(int n, const double* const* A, int m, const double* const* Q);
/// R (m x m) = transpose(A) * P (n x n) * A, A is n x m; R is exactly symmetric.
void AT_P_A_(int n, const double* const* A, int m, const double* const* P, double** R);
/// New m x m matrix transpose(A) * P * A.
double** AT_P_A_(int n, const double* const* A, int m, const double* const* P);
/// Returns transpose(a) * Q * a, a has n entries, Q is n x n (0.0 for n = 0).
double aT_Q_a_(int n, const double* a, const double* const* Q);
/// Column-wise Kronecker product: row (i-1)*rb + j of C is the element-wise product
/// of row i of A (ra x ca) and row j of B (rb x cb). C must have ra*rb rows and ca
/// columns; `rows` and `cols` (out) receive its dimensions. On ca != cb writes two
/// messages and returns with rows, cols and C untouched.
void Khatri_Rao(int ra, const double* const* A, int ca, int rb, const double* const* B, int cb,
                int& rows, double** C, int& cols);
/// Kronecker product C = A (ra x ca) (x) B (rb x cb); C must have ra*rb rows and
/// ca*cb columns; `rows`, `cols` (out) receive them.
void Kronecker(int ra, const double* const* A, int ca, int rb, const double* const* B, int cb,
               int& rows, double** C, int& cols);
/// New r x c matrix A - B.
double** Cikar_(int r, int c, const double* const* A, const double* const* B);
/// New r x c matrix A + B.
double** Topla_(int r, int c, const double* const* A, const double* const* B);

// ---- Gauss-Jordan solvers, inversion and determinant ------------------------------
// Square matrices are n x n, right-hand sides have n entries, all used from 1.
// The full-pivoting routines (gaussj family, gssjrdn) report a singular matrix on
// standard output and complete (gssjrdn returns 1 instead); with NaN elements no pivot
// candidate is found and the previous step's pivot position (1, 1 at the first step)
// is used again.

/// Solves a * x = b by Gauss-Jordan elimination with full pivoting: on return `a`
/// (in/out) holds the inverse of the matrix passed in and `b` (in/out) holds x.
void gaussj(int n, double** a, double* b);
/// Copies A into B (both n x n, B created by the caller), then inverts B in place.
void gaussj(int n, const double* const* A, double** B);
/// Inverts `a` (in/out) in place.
void gaussj(int n, double** a);
/// Returns a new n x n matrix holding the inverse of A; A is unchanged.
double** gaussj_(int n, const double* const* A);
/// Gauss-Jordan without pivoting: on success `a` holds the inverse and `b` the solution;
/// a zero diagonal pivot writes "\n gaussj: Singular Matrix-2 \n\n" and returns with
/// a and b part-reduced.
void gj_(int n, double** a, double* b);
/// As gaussj(n, a, b); returns 0 on success, 1 (after a message, a and b part-reduced)
/// when the matrix is singular.
int gssjrdn(int n, double** a, double* b);
/// Gaussian reduction without pivoting and without a singularity test: `b` (in/out)
/// receives the solution of A * x = b; `A` is left as its unit upper triangular factor.
void GaussIndrgm(int n, double** A, double* b);
/// Inverts `a` (n x n, in/out) in place with complete pivoting and sets `det` (out) to
/// the determinant of the matrix passed in. Returns 1 when done; 0 when singular (after
/// writing " DETERMINANT =0" to standard output, det = 0, a part-transformed).
int GAUJOR(double** a, int n, double& det);
/// Writes into B (n x n, out) the inverse of the symmetric matrix A (n x n) through a
/// triangular decomposition with row interchanges; A is overwritten by its factors.
/// No test for a zero pivot (the result is then not finite).
void INVERD(int n, double** A, double** B);
/// Returns the determinant of A (n x n) by condensation; A is unchanged. No pivoting:
/// a zero leading element during condensation gives an infinite or NaN result.
/// Returns A[1][1] for n = 1 and 1.0 for n <= 0.
double DetChio(const double* const* A, int n);
/// Replaces the symmetric matrix A (n x n, in/out; only its upper-left, upper-right and
/// lower-right blocks are read) by its inverse, computed in two blocks of orders
/// (n + 1) / 2 and n / 2.
void SimBlk_gaussj(int n, double** A);

// ---- Cholesky and rank-deficient inversion ----------------------------------------
// These read only the upper triangle (row <= column) of their symmetric input.

/// Cholesky factorisation A = R^T R of a symmetric positive definite A (n x n).
/// On success: A (in/out) holds the full inverse, b (in/out) the solution of A x = b,
/// diag (out, n entries) the diagonal of R, logdet (out) log10(det A), status (out) 0.
/// When a pivot s satisfies s - 1e-38 <= 0 writes "*** Bu Asamada Matris Singulerdir
/// ***\n", sets status = 1 and returns with A and b part-reduced. Always returns 0.
int Cholin(double** A, double* b, double* diag, int n, int& status, double& logdet);
/// Pseudo-inverse of a symmetric positive semi-definite A (n x n, in) into Q (n x n,
/// out). d (in/out): the rank defect to start from (normally 0; clamped to 0..n), on
/// return the defect found. The leading n - d unknowns are taken as the independent
/// ones. The result is the Moore-Penrose inverse when the leading (n - d) block is
/// regular. Writes "  Rang Bozuklugu ...: <d>" for each increase of d and "  Ters Alma
/// Islemi Basladi" before the inversion. Returns 0.
int Inver3(int n, int& d, const double* const* A, double** Q);
/// Diagonalises the symmetric Q (n x n, in/out) by congruence transformations without
/// pivoting: on return Q = D (diagonal) and T (n x n, out) satisfies D = T Q0 T^T for
/// the input Q0. A zero diagonal element gives infinities or NaN.
void MtrsKsgnstr(int n, double** Q, double** T);

// ---- Least-squares drivers --------------------------------------------------------
// Model l + v = A x with v^T P v (v^T v unweighted) a minimum. n observations (rows
// of A), u unknowns (columns of A). Singular normal matrices show only through the
// gaussj messages, after which the results are not finite.

/// Least squares for n >= u: N (u x u, out) = (A^T A)^-1, x (u, out) = N A^T l.
void gssdnsm(int n, const double* const* A, int u, const double* l, double** N, double* x);
/// Minimum-norm solution for n < u: x (u, out) = A^T (A A^T)^-1 l, N (u x u, out) =
/// A^T (A A^T)^-1 A; l (n, in/out) is overwritten with the multipliers (A A^T)^-1 l.
void lgrngdnsm(int n, const double* const* A, int u, double* l, double** N, double* x);
/// Chooses lgrngdnsm (n < u), gssdnsm (n > u) or, for n = u, N = A^-1 and x = N l
/// (A unchanged).
void Cozum(int n, const double* const* A, int u, double* l, double** N, double* x);
/// Weighted adjustment with the regular weight matrix P (n x n). Outputs: N (u x u) =
/// Qxx = (A^T P A)^-1, x (u) the solution, v (n) = A x - l the residuals, Qvv (n x n)
/// with the diagonal of P^-1 - A Qxx A^T and the off-diagonal elements of -A Qxx A^T
/// (equal to P^-1 - A Qxx A^T for a diagonal P).
void EKK_(int n, const double* const* A, int u, const double* l, const double* const* P, double** N,
          double* x, double** Qvv, double* v);
/// Unweighted adjustment: as the weighted form with P = I, Qvv = I - A Qxx A^T.
void EKK_(int n, const double* const* A, int u, const double* l, double** N, double* x,
          double** Qvv, double* v);
/// The unweighted adjustment; `report` is accepted for symmetry and not written.
void EKK_(std::ostream& report, int n, const double* const* A, int u, const double* l, double** N,
          double* x, double** Qvv, double* v);
/// Sequential adjustment, one call per batch of m observations A (m x u), l (m),
/// P (m x m). count (in/out): observations accumulated so far, 0 before the first
/// batch (which clears N, g and N[0][0]). N (u x u) and g (u) carry the sums A^T P A
/// and A^T P l between calls, N[0][0] the sum l^T P l. Once count > u: x (u, out) the
/// solution, K (u x u, out) the covariance matrix m0^2 N^-1 with K[0][0] = m0^2.
void ArdskEKK(int& count, int u, double** N, double* g, int m, const double* const* A,
              const double* l, const double* const* P, double* x, double** K);
/// Sequential adjustment with a known total: as above, but solves only when count
/// reaches `total`; then K = N^-1 (unscaled), K[0][0] = m0^2, and writes K (upper
/// triangle) and x into the file "c1.dat" of the working directory.
void ArdskEKK(int total, int u, double** N, double* g, int& count, int m, const double* const* A,
              const double* l, const double* const* P, double* x, double** K);
/// Unit-length solution x (n, out; x[n] > 0) of A x = 0 for A (n x n) of rank n - 1;
/// row n of A is not used.
void Homojen(int n, const double* const* A, double* x);

#endif  // HELMERT2D_MTRS_H
