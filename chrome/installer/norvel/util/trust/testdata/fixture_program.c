/* The program that the verification tests sign; it is never run. */
int main(void) {
  return 0;
}
