/* The yardstick for trelkey's start-up: a process that starts and ends. */
int main(void) { return 0; }
