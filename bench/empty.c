/* The floor for the start-up benchmark: a program that does nothing. */
int main(void)
{
    return 0;
}
