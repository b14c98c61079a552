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
// neighbouring matrix dimension; the destination comes last. No routine throws except
// the creation routines, which throw std::bad_alloc when the heap is exhausted;
// numeric failures are reported as messages on standard output.
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

#endif  // HELMERT2D_MTRS_H
