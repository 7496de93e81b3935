/* A small program to sign and tag in the installer-tag tests. */
int main(void) {
  return 0;
}
