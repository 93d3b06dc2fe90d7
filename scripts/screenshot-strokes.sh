# The sculpting of scripts/screenshot.sh, sourced by it: window pixels of a
# 1000 x 680 window looking at the start sphere from the front. Symmetry is
# on, so every stroke on the left half shapes the right half too.
cx=500

# Form: a longer head, the jaw pulled down and narrowed.
key g; setsize 9
stroke $cx 470 $cx 540 10
setsize 6
stroke 320 470 365 465 8

# Profile: turned a quarter to the left, the skull pulled back and the
# chin forward, then turned back.
turn 700 600 430 600 20
key g; setsize 7
stroke 680 250 720 235 8
stroke 360 520 340 535 8
turn 430 600 700 600 20

# Brow ridge, then the eye sockets carved under it.
key d; setsize 2
stroke $cx 285 400 290 12
stroke $cx 280 405 285 12
setstrength 7
carve 455 322 415 325 8
carve 415 325 455 330 8
carve 455 330 420 322 8
carve 420 322 455 326 8
setstrength 5
key c; setsize 1
stroke 432 326 433 326 8

# Nose: a ridge down the middle, then the tip and wings swelled.
key d; setsize 1
stroke $cx 300 $cx 410 14
stroke $cx 310 $cx 405 14
key c; setsize 1
stroke $cx 405 $cx 406 8
stroke 482 412 480 414 6

# Cheekbones.
key d; setsize 2
stroke 430 380 370 350 10

# Mouth: lips, and the line between them.
setsize 1
stroke $cx 452 455 460 8
stroke $cx 475 462 478 8
key e; setsize 1
stroke $cx 464 450 470 10

# Chin.
key c; setsize 2
stroke $cx 530 $cx 531 10

# Clean-up.
key b; setsize 3
stroke 470 360 420 420 8

# Three-quarter view.
turn 700 600 630 580 12
